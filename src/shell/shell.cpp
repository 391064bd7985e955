#include "shell/shell.h"

#include <new>
#include <ostream>

#include "interp/tokenizer.h"
#include "value/console.h"
#include "value/error.h"
#include "value/printer.h"

void listState(const Interpreter& interp) {
  std::ostream& out = console();
  out << "State List:\n";
  interp.globals.forEachOwnEntry(
      [&](const Scope::Entry& e) { out << "<" << e.object.typeName() << ", " << e.object.name << ">\n"; });
}

namespace {

// Lines that start with "!" are shell commands; only the first word counts.
// Returns false for "!exit".
bool runShellCommand(Interpreter& interp, const std::string& line) {
  TokenList command;
  command.addDelimiter(' ');
  command.setText(line);
  const std::string& word = command.token(0);
  if (word == "!exit") return false;
  if (word == "!state") {
    listState(interp);
  } else if (word == "!clear") {
    interp.globals.clear();
  }
  console() << "\n\n";
  return true;
}

// Evaluates a tidied copy of [line] into [result]; thrown messages are
// reported here. The console is told when the line starts and ends, however
// it ends, so a terminal is always back in line mode for the next prompt.
void evaluateLine(Interpreter& interp, std::string line, Object& result) {
  struct RunGuard {
    ConsoleInput* input;
    explicit RunGuard(ConsoleInput* in) : input(in) {
      if (input) input->lineStarted();
    }
    ~RunGuard() {
      if (input) input->lineFinished();
    }
    RunGuard(const RunGuard&) = delete;
    RunGuard& operator=(const RunGuard&) = delete;
  } running(interp.input());
  std::ostream& out = console();
  try {
    normalizeSpacing(line);
    interp.evaluate(line, interp.globals, result, false, true);
  } catch (const ScriptError& e) {
    out << "Error: " << e.what() << "\n";
  } catch (const std::bad_alloc&) {
    out << "Error: out of memory\n";
  } catch (const std::exception& e) {
    // Nothing else should reach here; if something does, the session and
    // its globals are worth more than the line that failed.
    out << "Error: " << e.what() << "\n";
  }
}

}  // namespace

bool handleLine(Interpreter& interp, std::string line, Object& result) {
  std::ostream& out = console();
  if (line.size() > kMaxLineLength) {
    out << "Error: line too long\n\n";
    return true;
  }
  // The line is C text to the language: a NUL byte ends it.
  const size_t nul = line.find('\0');
  if (nul != std::string::npos) line.resize(nul);
  if (line == "exit") return false;
  if (!line.empty() && line[0] == '!') return runShellCommand(interp, line);
  evaluateLine(interp, line, result);
  printValue(result, out, true, false);
  out << "\n\n";
  return true;
}

void runPromptLoop(Interpreter& interp, ConsoleInput& input) {
  std::ostream& out = console();
  out << kTitle << " (" << kShortName << ") v." << kVersion << "\n"
      << "Copyright (c) the " << kShortName << " developers; free to use, study and share.\n\n";
  // One result record serves every line. Only its value is dropped between
  // lines; its name and type stay until something writes it again.
  Object result;
  for (;;) {
    result.dropPayload();
    std::optional<std::string> line = input.readLine(kPrompt, kMaxLineLength);
    if (!line) break;  // end of input ends the session like "exit"
    if (!handleLine(interp, std::move(*line), result)) break;
  }
  out.flush();
}
