#include "fuzz_support.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <ostream>

#include "value/console.h"

const std::string& fuzzScratchDirectory() {
  static const std::string path = [] {
    // Memory-backed when the machine has it: the script target writes a
    // file for every input.
    std::string pattern = std::filesystem::is_directory("/dev/shm") ? "/dev/shm/dovex-fuzz-XXXXXX"
                                                                     : "/tmp/dovex-fuzz-XXXXXX";
    const char* made = mkdtemp(pattern.data());
    if (!made) std::abort();
    std::filesystem::current_path(made);
    return std::filesystem::canonical(made).string();
  }();
  return path;
}

void prepareForFuzzing(Interpreter& interp) {
  static std::ostream discard(nullptr);  // no buffer: every write is dropped
  setConsole(&discard);
  interp.fileRoot = fuzzScratchDirectory();
  interp.stepLimit = kFuzzStepLimit;
  interp.setInput(nullptr);  // `user.input` sees end of input at once
  std::srand(1);             // findings reproduce
}
