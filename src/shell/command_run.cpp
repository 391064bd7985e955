#include "shell/command_run.h"

#include <utility>

#include "interp/script_file.h"
#include "shell/shell.h"

bool readCommandLineScript(const CommandLine& options, const FileRules& files, int input, std::string& script,
                           std::ostream& errors) {
  const bool fromInput = options.mode == CommandLine::Mode::ScriptInput;
  const std::string name = fromInput ? "standard input" : "'" + options.path + "'";
  ScriptRead outcome = ScriptRead::CannotOpen;
  if (fromInput) {
    outcome = readScript(input, script);
  } else if (files.mayOpen(options.path)) {
    outcome = readScriptFile(options.path, script);
  }
  if (outcome == ScriptRead::CannotOpen) {
    errors << "dovex: cannot open " << name << "\n";
    return false;
  }
  if (outcome == ScriptRead::TooLarge) {
    errors << "dovex: " << name << " is too large for a script\n";
    return false;
  }
  return true;
}

void runCommandLineWork(Interpreter& interp, ConsoleInput* input, const CommandLine& options, std::string script) {
  switch (options.mode) {
    case CommandLine::Mode::Session:
      if (input) runPromptLoop(interp, *input, !options.quiet);
      break;
    case CommandLine::Mode::ScriptFile:
    case CommandLine::Mode::ScriptInput:
      runScript(interp, std::move(script));
      break;
    case CommandLine::Mode::Line: {
      Object result;
      handleLine(interp, options.line, result);
      break;
    }
    case CommandLine::Mode::Help:
    case CommandLine::Mode::Version:
    case CommandLine::Mode::Kernel:
      break;  // answered before any interpreter exists
  }
}
