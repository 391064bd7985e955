// Fuzz target: arbitrary bytes as input lines to a fresh interpreter, each
// line handled exactly as the prompt handles it ("!" commands and the line
// length rule included).
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_support.h"
#include "shell/shell.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  runWithLargeStack([&] {
    Interpreter interp;
    prepareForFuzzing(interp);
    Object result;
    size_t start = 0;
    while (start <= input.size()) {
      size_t end = input.find('\n', start);
      if (end == std::string::npos) end = input.size();
      result.dropPayload();
      interp.resetSteps();
      if (!handleLine(interp, input.substr(start, end - start), result)) break;
      start = end + 1;
    }
  });
  return 0;
}
