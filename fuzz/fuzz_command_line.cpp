// Fuzz target: arbitrary bytes as a command line (the first line, arguments
// separated by NUL bytes) and the standard input and script file it reads
// (the rest), run as the program runs them.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  runFuzzCommandLine(std::string(reinterpret_cast<const char*>(data), size));
  return 0;
}
