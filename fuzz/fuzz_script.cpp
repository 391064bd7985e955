// Fuzz target: arbitrary bytes as a script file run once with `file` (line
// breaks and indentation tidied, then one evaluation).
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  runFuzzScript(std::string(reinterpret_cast<const char*>(data), size));
  return 0;
}
