// The console dialogue: banner, prompt loop, shell commands and the echo.
#pragma once

#include <string>

#include "interp/console_io.h"
#include "interp/interpreter.h"

inline constexpr const char* kTitle = "Brivane";
inline constexpr const char* kShortName = "Dovex";
inline constexpr const char* kVersion = "0.81.4.13";
inline constexpr const char* kPrompt = "Dovex > ";
// "Brivane (Dovex) v.0.81.4.13\n": the banner's first line and --version.
std::string titleLine();
// Longest input line the prompt accepts.
inline constexpr size_t kMaxLineLength = 2045;

// Prints the banner (unless [banner] is false), then reads, evaluates and
// echoes lines from [input] until "exit", "!exit" or end of input.
void runPromptLoop(Interpreter& interp, ConsoleInput& input, bool banner = true);

// Runs the text of a script file as `file` does (one expression), with no
// prompt and no echo: only what the script prints is seen.
// [source] names the script and places its characters for the notes.
void runScript(Interpreter& interp, std::string script, const SourceText* source = nullptr);

// Runs the text of a library into the globals: one expression, as a script,
// with the globals the target of every variable keyword in it, so what it
// creates is seen everywhere; nothing is echoed.
void runLibrary(Interpreter& interp, std::string script, const SourceText* source = nullptr);

// Handles one raw input [line] the way the prompt does, echo included; a
// line longer than [maxChars] is refused. Returns false when the line ends
// the session.
// [origin] names where the line came from for the notes on standard error
// (nothing at the prompt, "-e" on the command line, a notebook's cell).
struct LineOrigin {
  std::string name;
  uint32_t line = 1;
  // For a line joined from several, the place of each of its characters
  // (then [name] and [line] are not used).
  const SourceText* places = nullptr;
};
bool handleLine(Interpreter& interp, std::string line, Object& result, size_t maxChars = kMaxLineLength,
                const LineOrigin& origin = LineOrigin());

// Handles each line of [text] in turn as the prompt would (without the
// prompt), until one ends the session: the lines of `dovex -e`.
void evaluateLines(Interpreter& interp, const std::string& text);

// "!state": the list of global variables.
void listState(const Interpreter& interp);
