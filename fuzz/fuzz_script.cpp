// Fuzz target: arbitrary bytes as a script file run once with `file` (line
// breaks and indentation tidied, then one evaluation).
#include <cstddef>
#include <cstdint>
#include <fstream>
#include <string>

#include "fuzz_support.h"
#include "shell/shell.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path = fuzzScratchDirectory() + "/script.dvx";
  {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  runWithLargeStack([&] {
    Interpreter interp;
    prepareForFuzzing(interp);
    Object result;
    handleLine(interp, "file " + path, result);
  });
  return 0;
}
