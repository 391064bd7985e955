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
#include <sstream>
#include <system_error>
#include <vector>

#include "extensions/extension.h"
#include "interp/interpreter.h"
#include "interp/stream_console.h"
#include "runtime/break_flag.h"
#include "runtime/console.h"
#include "runtime/diagnostics.h"
#include "runtime/file_access.h"
#include "runtime/random_draws.h"
#include "shell/command_line.h"
#include "shell/command_run.h"
#include "shell/libraries.h"
#include "shell/shell.h"

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
// scratch directory: the extension commands, confinement, step limit, fixed
// seed, no pending break, console text to [out] or nowhere.
void runConfined(std::ostream* out, const std::function<void(Interpreter&, const fs::path&)>& body) {
  static std::ostream discard(nullptr);  // no buffer: every write is dropped
  std::ostream* previousConsole = setConsole(out ? out : &discard);
  {
    const ScratchDirectory scratch;
    runWithLargeStack([&] {
      Interpreter interp(languageKeywords());
      registerExtensions(interp);
      interp.files.root = scratch.path().string();
      interp.stepLimit = kFuzzStepLimit;
      interp.setInput(nullptr);  // `user.input` sees end of input at once
      seedDraws(1);              // findings reproduce
      setWarningMode(WarningMode::Shown);
      clearBreak();
      body(interp, scratch.path());
    });
  }
  setConsole(previousConsole);
}

// Writes [text] as script.dvx in [scratch].
void writeScript(const fs::path& scratch, const std::string& text) {
  std::ofstream file(scratch / "script.dvx", std::ios::binary | std::ios::trunc);
  file.write(text.data(), static_cast<std::streamsize>(text.size()));
}

// The arguments of a command-line input: its first line split at NUL bytes.
std::vector<std::string> splitArguments(const std::string& words) {
  std::vector<std::string> args;
  if (words.empty()) return args;
  size_t start = 0;
  for (;;) {
    const size_t end = words.find('\0', start);
    args.push_back(words.substr(start, end - start));
    if (end == std::string::npos) return args;
    start = end + 1;
  }
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
    writeScript(scratch, input);
    Object result;
    handleLine(interp, "file script.dvx", result);
  });
}

void runFuzzCommandLine(const std::string& input, std::ostream* console) {
  const size_t lineEnd = input.find('\n');
  const std::vector<std::string> args = splitArguments(input.substr(0, lineEnd));
  const std::string rest = lineEnd == std::string::npos ? std::string() : input.substr(lineEnd + 1);
  runConfined(console, [&](Interpreter& interp, const fs::path& scratch) {
    writeScript(scratch, rest);
    std::ostream& out = ::console();
    std::string error;
    const std::optional<CommandLine> options = parseCommandLine(args, error);
    if (!options) {
      out << "dovex: " << error << "\n";
      return;
    }
    using Mode = CommandLine::Mode;
    if (options->mode == Mode::Help || options->mode == Mode::Version) {
      out << (options->mode == Mode::Help ? usageText() : titleLine());
      return;
    }
    if (options->mode == Mode::Kernel) return;  // a protocol of its own on the real standard input
    // The rest is standard input: read whole as the script of "-", else
    // line by line.
    CommandLineWork work;
    if (options->mode == Mode::ScriptFile || options->mode == Mode::ScriptInput) {
      const FileDescriptor typed = openFileWithoutWaiting((scratch / "script.dvx").string(), FileUse::ReadScript);
      if (!readCommandLineScript(*options, interp.files, typed.get(), work, out)) return;
    }
    // Libraries are found as the program finds them, but only those in the
    // scratch directory are read.
    if (!readLibraries(options->libraries, "", work.libraries, error)) {
      out << "dovex: " << error << "\n";
      return;
    }
    for (const Library& library : work.libraries) {
      if (!interp.files.mayOpen(library.path)) {
        out << "dovex: the library '" << library.path << "' lies outside the scratch directory\n";
        return;
      }
    }
    seedDraws(options->seed.value_or(1));
    setWarningMode(options->warnings);
    std::istringstream typed(rest);
    StreamConsole lines(typed, out);
    if (options->mode != Mode::ScriptInput) interp.setInput(&lines);
    runCommandLineWork(interp, &lines, *options, work);
  });
}
