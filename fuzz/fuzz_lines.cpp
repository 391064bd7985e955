// Fuzz target: arbitrary bytes as input lines to a fresh interpreter, each
// line handled exactly as the prompt handles it ("!" commands and the line
// length rule included).
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  runFuzzLines(std::string(reinterpret_cast<const char*>(data), size));
  return 0;
}
