#include "builtins/language.h"
#include "fuzz_support.h"

#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <system_error>

#include "interp/interpreter.h"
#include "shell/shell.h"
#include "runtime/break_flag.h"
#include "runtime/console.h"

namespace {

namespace fs = std::filesystem;

constexpr const char* kScratchPrefix = "dovex-fuzz-";

// Removes what earlier runs that died (a crash, a timeout: no exit handlers
// run) left in [base]: directories named for a process that is gone.
void removeOrphanedScratch(const fs::path& base) {
  std::error_code ec;
  for (const fs::directory_entry& entry : fs::directory_iterator(base, ec)) {
    const std::string name = entry.path().filename().string();
    if (name.rfind(kScratchPrefix, 0) != 0) continue;
    const long pid = std::strtol(name.c_str() + std::strlen(kScratchPrefix), nullptr, 10);
    if (pid <= 0 || pid == getpid()) continue;
    if (kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH) continue;
    fs::remove_all(entry.path(), ec);
  }
}

fs::path makeScratchParent() {
  // Memory-backed when the machine has it: the script target writes a file
  // for every input.
  const fs::path base = fs::is_directory("/dev/shm") ? "/dev/shm" : "/tmp";
  removeOrphanedScratch(base);
  std::string pattern = (base / (kScratchPrefix + std::to_string(getpid()) + "-XXXXXX")).string();
  const char* made = mkdtemp(pattern.data());
  if (!made) std::abort();
  return fs::canonical(made);
}

void removeScratchParent();

// This process's directory for scratch directories, made on first use and
// removed with everything in it when the process exits (or, after a crash,
// by the next run).
const fs::path& scratchParent() {
  static const fs::path path = makeScratchParent();
  // Registered once the path exists, so it runs before the path is destroyed.
  [[maybe_unused]] static const bool removedAtExit = std::atexit(removeScratchParent) == 0;
  return path;
}

void removeScratchParent() {
  std::error_code ec;
  fs::remove_all(scratchParent(), ec);
}

// The empty directory one input runs in, under the same name for every
// input, entered for the input's duration and removed afterwards with all
// the input left in it.
class ScratchDirectory {
 public:
  ScratchDirectory() : previous_(fs::current_path()), path_(scratchParent() / "input") {
    std::error_code ec;
    fs::remove_all(path_, ec);
    fs::create_directory(path_);
    fs::current_path(path_);
  }
  ~ScratchDirectory() {
    std::error_code ec;
    fs::current_path(previous_, ec);
    fs::remove_all(path_, ec);
  }
  ScratchDirectory(const ScratchDirectory&) = delete;
  ScratchDirectory& operator=(const ScratchDirectory&) = delete;

  const fs::path& path() const { return path_; }

 private:
  fs::path previous_;
  fs::path path_;
};

// Runs [body] with a fresh interpreter prepared for fuzzing inside a fresh
// scratch directory: confinement, step limit, fixed seed, no pending break,
// console text to [out] or nowhere.
void runConfined(std::ostream* out, const std::function<void(Interpreter&, const fs::path&)>& body) {
  static std::ostream discard(nullptr);  // no buffer: every write is dropped
  std::ostream* previousConsole = setConsole(out ? out : &discard);
  {
    const ScratchDirectory scratch;
    runWithLargeStack([&] {
      Interpreter interp(languageKeywords());
      interp.files.root = scratch.path().string();
      interp.stepLimit = kFuzzStepLimit;
      interp.setInput(nullptr);  // `user.input` sees end of input at once
      std::srand(1);             // findings reproduce
      clearBreak();
      body(interp, scratch.path());
    });
  }
  setConsole(previousConsole);
}

}  // namespace

void runFuzzLines(const std::string& input, std::ostream* console) {
  runConfined(console, [&](Interpreter& interp, const fs::path&) {
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
}

void runFuzzScript(const std::string& input, std::ostream* console) {
  runConfined(console, [&](Interpreter& interp, const fs::path& scratch) {
    {
      std::ofstream file(scratch / "script.dvx", std::ios::binary | std::ios::trunc);
      file.write(input.data(), static_cast<std::streamsize>(input.size()));
    }
    Object result;
    handleLine(interp, "file script.dvx", result);
  });
}
