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
void runScript(Interpreter& interp, std::string script);

// Handles one raw input [line] the way the prompt does, echo included; a
// line longer than [maxChars] is refused. Returns false when the line ends
// the session.
bool handleLine(Interpreter& interp, std::string line, Object& result, size_t maxChars = kMaxLineLength);

// "!state": the list of global variables.
void listState(const Interpreter& interp);
