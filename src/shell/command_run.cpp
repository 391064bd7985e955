#include "shell/command_run.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <utility>

#include "interp/script_file.h"
#include "shell/shell.h"

namespace {

// Why the script FILE cannot be opened: what it is when it is there but not
// a regular file (found without opening it, so nothing waits on a pipe),
// else the system's reason.
std::string whyNotOpened(const std::string& path) {
  struct stat info {};
  if (stat(path.c_str(), &info) != 0) return "cannot open '" + path + "': " + std::strerror(errno);
  const char* kind = S_ISDIR(info.st_mode)    ? "a directory"
                     : S_ISFIFO(info.st_mode) ? "a pipe"
                     : S_ISSOCK(info.st_mode) ? "a socket"
                     : S_ISCHR(info.st_mode) || S_ISBLK(info.st_mode) ? "a device"
                     : S_ISREG(info.st_mode) ? nullptr
                                             : "not a file";
  if (!kind) return "cannot open '" + path + "'";
  return "'" + path + "' is " + kind + ", not a regular file; 'dovex -' runs a script read from standard input "
         "(... | dovex -)";
}

}  // namespace

bool readCommandLineScript(const CommandLine& options, const FileRules& files, int input, CommandLineWork& work,
                           std::ostream& errors) {
  const bool fromInput = options.mode == CommandLine::Mode::ScriptInput;
  const std::string& path = options.path;
  work.source.name = fromInput ? "-" : path;
  if (!fromInput && !files.mayOpen(path)) {
    errors << "dovex: cannot open '" << path << "'\n";
    return false;
  }
  const ScriptRead outcome = fromInput ? readScript(input, work.script, FirstLine::Skipped, &work.source)
                                       : readScriptFile(path, work.script, FirstLine::Skipped, &work.source);
  if (outcome == ScriptRead::CannotOpen) {
    errors << "dovex: " << (fromInput ? "cannot read standard input" : whyNotOpened(path)) << "\n";
    return false;
  }
  if (outcome == ScriptRead::TooLarge) {
    errors << "dovex: " << (fromInput ? "standard input" : "'" + path + "'") << " is too large for a script\n";
    return false;
  }
  return true;
}

void runCommandLineWork(Interpreter& interp, ConsoleInput* input, const CommandLine& options, CommandLineWork& work) {
  for (Library& library : work.libraries) runLibrary(interp, std::move(library.script), &library.source);
  switch (options.mode) {
    case CommandLine::Mode::Session:
      if (input) runPromptLoop(interp, *input, !options.quiet);
      break;
    case CommandLine::Mode::ScriptFile:
    case CommandLine::Mode::ScriptInput:
      runScript(interp, std::move(work.script), &work.source);
      break;
    case CommandLine::Mode::Line:
      evaluateLines(interp, options.line);
      break;
    case CommandLine::Mode::Help:
    case CommandLine::Mode::Version:
    case CommandLine::Mode::Kernel:
      break;  // answered before any interpreter exists
  }
}
