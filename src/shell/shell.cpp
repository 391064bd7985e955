#include "shell/shell.h"

#include <functional>
#include <new>
#include <ostream>
#include <sstream>

#include "interp/tokenizer.h"
#include "shell/help.h"
#include "runtime/console.h"
#include "runtime/diagnostics.h"
#include "runtime/script_error.h"
#include "value/printer.h"

std::string titleLine() { return std::string(kTitle) + " (" + kShortName + ") v." + kVersion + "\n"; }

void listState(const Interpreter& interp) {
  std::ostream& out = console();
  out << "State List:\n";
  interp.globals.forEachOwnEntry(
      [&](const Scope::Entry& e) { out << "<" << e.object.typeName() << ", " << e.object.name << ">\n"; });
}

namespace {

// "!help" alone lists the keywords and extension commands; "!help WORD"
// describes one.
void showHelp(Interpreter& interp, const std::string& word) {
  if (word.empty()) {
    printHelpIndex(interp, console());
  } else if (!printHelpFor(interp, word, console())) {
    diagnostic() << "No keyword or extension command '" << word << "'; !help lists them.\n";
  }
}

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
  } else if (word == "!help") {
    // The word to describe is the next one, however many spaces come first.
    std::istringstream words(line);
    std::string bang, topic;
    words >> bang >> topic;
    showHelp(interp, topic);
  }
  console() << "\n\n";
  return true;
}

// Runs [body], one evaluation of the console, reporting the messages it
// throws. The console is told when the evaluation starts and ends, however
// it ends, so a terminal is always back in line mode for the next prompt.
void runReported(Interpreter& interp, const std::function<void()>& body) {
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
  try {
    body();
  } catch (const ScriptError& e) {
    diagnostic() << "Error: " << e.what() << "\n";
    // Where it was thrown, and the statement of a script it stopped.
    console().flush();
    notes() << e.note() << e.stopped();
    notes().flush();
  } catch (const std::bad_alloc&) {
    diagnostic() << "Error: out of memory\n";
  } catch (const std::exception& e) {
    // Nothing else should reach here; if something does, the session and
    // its globals are worth more than the line that failed.
    diagnostic() << "Error: " << e.what() << "\n";
  }
}

// Evaluates a tidied copy of [line] into [result], as typed at the prompt.
void evaluateLine(Interpreter& interp, std::string line, Object& result, const LineOrigin& origin) {
  runReported(interp, [&] {
    const SourceText source = origin.places ? SourceText() : SourceText::ofLine(origin.name, line, origin.line);
    interp.evaluateLine(std::move(line), interp.globals, result, ScopeTarget::Own,
                        origin.places ? origin.places : &source);
  });
}

}  // namespace

bool handleLine(Interpreter& interp, std::string line, Object& result, size_t maxChars, const LineOrigin& origin) {
  std::ostream& out = console();
  if (line.size() > maxChars) {
    diagnostic() << "Error: line too long\n\n";
    return true;
  }
  // The line is C text to the language: a NUL byte ends it.
  const size_t nul = line.find('\0');
  if (nul != std::string::npos) line.resize(nul);
  if (line == "exit") return false;
  if (!line.empty() && line[0] == '!') return runShellCommand(interp, line);
  evaluateLine(interp, line, result, origin);
  printValue(result, out, true, false);
  out << "\n\n";
  return true;
}

void evaluateLines(Interpreter& interp, const std::string& text) {
  // Split as lines are read from a stream: a final line break ends the last
  // line rather than starting an empty one.
  Object result;
  uint32_t line = 1;
  for (size_t start = 0; start < text.size() || start == 0; ++line) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    result.dropPayload();
    if (!handleLine(interp, text.substr(start, end - start), result, kMaxLineLength, LineOrigin{"-e", line})) break;
    start = end + 1;
  }
}

void runPromptLoop(Interpreter& interp, ConsoleInput& input, bool banner) {
  std::ostream& out = console();
  if (banner) {
    out << titleLine() << "Copyright (c) the " << kShortName << " developers; free to use, study and share.\n\n";
  }
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

void runScript(Interpreter& interp, std::string script, const SourceText* source) {
  Object result;
  runReported(interp, [&] {
    // Evaluated as `file` evaluates it: one statement of an evaluation whose
    // scope is a snapshot of the globals, so variables the script creates
    // without `global` live in that scope.
    Scope fileScope = Scope::snapshotOf(interp.globals);
    interp.evaluateLine(std::move(script), fileScope, result, ScopeTarget::Caller, source);
  });
  console().flush();
}

void runLibrary(Interpreter& interp, std::string script, const SourceText* source) {
  Object result;
  runReported(interp,
              [&] { interp.evaluateLine(std::move(script), interp.globals, result, ScopeTarget::Globals, source); });
  console().flush();
}
