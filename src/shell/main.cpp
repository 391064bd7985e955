// Entry point: reads the command line, seeds the generator, creates the
// interpreter and runs a session, a script or one line on a stack deep
// enough for the nesting limit (or hands over to the notebook kernel's mode).
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <iostream>
#include <memory>
#include <utility>

#include "builtins/language.h"
#include "extensions/extension.h"
#include "interp/interpreter.h"
#include "interp/script_file.h"
#include "interp/stream_console.h"
#include "shell/command_line.h"
#include "shell/kernel_mode.h"
#include "shell/shell.h"
#include "shell/help.h"
#include "shell/terminal.h"
#include "runtime/diagnostics.h"
#include "runtime/heap_policy.h"
#include "runtime/random_draws.h"
#include "value/matrix.h"

namespace {

// Exit statuses of scripts and lines run from the command line.
constexpr int kExitReported = 1;  // the run reported a diagnostic
constexpr int kExitUsage = 2;     // a wrong command line or an unreadable script

int usageError(const std::string& message) {
  std::cerr << "dovex: " << message << "\nTry 'dovex --help' for more information.\n";
  return kExitUsage;
}

// Reads the script a command line names (FILE or standard input). Returns
// false after saying on standard error why it cannot be run.
bool readCommandLineScript(const CommandLine& options, std::string& script) {
  const bool fromInput = options.mode == CommandLine::Mode::ScriptInput;
  const std::string name = fromInput ? "standard input" : "'" + options.path + "'";
  const ScriptRead outcome = fromInput ? readScript(STDIN_FILENO, script) : readScriptFile(options.path, script);
  if (outcome == ScriptRead::CannotOpen) {
    std::cerr << "dovex: cannot open " << name << "\n";
    return false;
  }
  if (outcome == ScriptRead::TooLarge) {
    std::cerr << "dovex: " << name << " is too large for a script\n";
    return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  std::ios::sync_with_stdio(false);
  std::string error;
  const std::optional<CommandLine> parsed = parseCommandLine({argv + (argc > 0 ? 1 : 0), argv + argc}, error);
  if (!parsed) return usageError(error);
  const CommandLine& options = *parsed;
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
  std::string script;
  const bool isScript = options.mode == CommandLine::Mode::ScriptFile || options.mode == CommandLine::Mode::ScriptInput;
  if (isScript && !readCommandLineScript(options, script)) return kExitUsage;
  seedDraws(options.seed ? *options.seed : clockSeed());
  if (options.mode == CommandLine::Mode::Kernel) return runKernelMode();
  // Line editing, history and Ctrl-C handling only at a terminal (history
  // only for sessions, editing only when the screen is the terminal too);
  // piped input is read as it comes and never counts as a key press. A
  // script read from standard input has used it up.
  std::unique_ptr<ConsoleInput> input;
  TerminalConsole* terminal = nullptr;
  if (options.mode == CommandLine::Mode::ScriptInput) {
    input = nullptr;
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
  runWithLargeStack([&] {
    if (session) {
      runPromptLoop(interp, *input, !options.quiet);
    } else if (isScript) {
      runScript(interp, std::move(script));
    } else {
      Object result;
      handleLine(interp, options.line, result);
    }
  });
  std::cout.flush();
  // A session ends well however its lines went; a script or a line tells
  // its caller whether anything was reported.
  if (!session && diagnosticReported()) return kExitReported;
  return 0;
}
