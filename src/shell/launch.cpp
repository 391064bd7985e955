// The run of a command line: reads it, seeds the generator, creates the
// interpreter, runs the -l libraries and then a session, a script or the -e
// lines on a stack deep enough for the nesting limit (or hands over to the
// notebook kernel's mode), and fails a run whose output could not be written.
// In a distributed run every process goes through here alike.
#include "shell/launch.h"

#include <unistd.h>

#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <iostream>
#include <memory>
#include <utility>

#include "builtins/language.h"
#include "extensions/extension.h"
#include "interp/interpreter.h"
#include "interp/shared_console.h"
#include "interp/stream_console.h"
#include "shell/command_line.h"
#include "shell/command_run.h"
#include "shell/kernel_mode.h"
#include "shell/shell.h"
#include "shell/help.h"
#include "shell/libraries.h"
#include "shell/terminal.h"
#include "runtime/diagnostics.h"
#include "runtime/file_access.h"
#include "runtime/heap_policy.h"
#include "runtime/process_group.h"
#include "runtime/random_draws.h"
#include "runtime/standard_streams.h"
#include "value/matrix.h"

namespace {

// Exit statuses of scripts and lines run from the command line.
constexpr int kExitReported = 1;  // the run reported a diagnostic
constexpr int kExitUsage = 2;     // a wrong command line or an unreadable script

int usageError(const std::string& message) {
  std::cerr << "dovex: " << message << "\nTry 'dovex --help' for more information.\n";
  return kExitUsage;
}

// Runs what the command line asks for and returns the exit status.
int run(const CommandLine& options) {
  if (options.mode == CommandLine::Mode::Help) {
    std::cout << usageText();
    return 0;
  }
  if (options.mode == CommandLine::Mode::Version) {
    std::cout << titleLine();
    return 0;
  }
  keepLargeArraysOnHeap();
  const bool session = options.mode == CommandLine::Mode::Session;
  CommandLineWork work;
  const bool isScript = options.mode == CommandLine::Mode::ScriptFile || options.mode == CommandLine::Mode::ScriptInput;
  // In a distributed run the first process reads standard input for all.
  const FileDescriptor sharedInput = options.mode == CommandLine::Mode::ScriptInput && processGroup()
                                         ? shareWholeInput(STDIN_FILENO)
                                         : FileDescriptor();
  const int scriptInput = sharedInput.isOpen() ? sharedInput.get() : STDIN_FILENO;
  if (isScript && !readCommandLineScript(options, FileRules{}, scriptInput, work, std::cerr)) return kExitUsage;
  std::string error;
  const std::string scriptFolder = options.mode == CommandLine::Mode::ScriptFile
                                       ? std::filesystem::path(options.path).parent_path().string()
                                       : std::string();
  if (!readLibraries(options.libraries, scriptFolder, work.libraries, error)) return usageError(error);
  // Every process draws what the first one draws.
  seedDraws(static_cast<uint32_t>(agreedFromLead(uint64_t{options.seed ? *options.seed : clockSeed()})));
  setWarningMode(options.warnings);
  if (options.mode == CommandLine::Mode::Kernel) {
    if (processGroup() && processGroup()->size() > 1) return usageError("--kernel runs in one process only");
    return runKernelMode();
  }
  // Line editing, history and Ctrl-C handling only at a terminal (history
  // only for sessions, editing only when the screen is the terminal too);
  // piped input is read as it comes and never counts as a key press. A
  // script read from standard input has used it up.
  std::unique_ptr<ConsoleInput> input;
  TerminalConsole* terminal = nullptr;
  if (options.mode == CommandLine::Mode::ScriptInput) {
    input = nullptr;
  } else if (processGroup()) {
    // The first process reads standard input (a pipe under the launcher)
    // and hands each line to the others.
    input = std::make_unique<SharedConsole>(std::make_unique<StreamConsole>(std::cin, std::cout));
  } else if (isatty(STDIN_FILENO)) {
    auto console = std::make_unique<TerminalConsole>(session ? defaultHistoryPath() : std::string(),
                                                     isatty(STDOUT_FILENO) != 0);
    terminal = console.get();
    input = std::move(console);
  } else {
    input = std::make_unique<StreamConsole>(std::cin, std::cout);
  }
  Interpreter interp(languageKeywords(), input.get());
  registerExtensions(interp);
  if (terminal) terminal->completeWith(completionWords(interp));
  runWithLargeStack([&] { runCommandLineWork(interp, input.get(), options, work); });
  // A session ends well however its lines went; a script or a line tells
  // its caller whether anything was reported.
  if (!session && diagnosticReported()) return kExitReported;
  return 0;
}

}  // namespace

int dovexMain(int argc, char** argv) {
  std::ios::sync_with_stdio(false);
  // Past a file-size limit a write fails ("Cannot write file") rather than
  // the signal ending the session.
  std::signal(SIGXFSZ, SIG_IGN);
  CheckedStandardStreams streams;
  std::string error;
  const std::optional<CommandLine> parsed = parseCommandLine({argv + (argc > 0 ? 1 : 0), argv + argc}, error);
  int status = parsed ? run(*parsed) : usageError(error);
  // Output that could not be written fails the run, as with the standard
  // tools: said on standard error (written directly, its stream may be the
  // one that failed).
  if (const int failed = streams.flush()) {
    const std::string message = std::string("dovex: write error: ") + std::strerror(failed) + "\n";
    writeAll(STDERR_FILENO, message.data(), message.size());
    if (status == 0) status = kExitReported;
  }
  return status;
}
