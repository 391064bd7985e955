// Lines that continue on the next one: a line that leaves a "(" open goes on
// with the following line, joined the way script files join their lines.
// The terminal's continuation prompt and the notebook's cells share this.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// The brackets [text] leaves open, counted as the tokenizer counts them: a
// double quote outside brackets hides everything up to the next one, inside
// brackets quotes are plain characters, and a ")" with nothing open is an
// ordinary character.
struct BracketBalance {
  size_t open = 0;                       // brackets still open at the end
  size_t firstUnclosed = std::string::npos;  // offset of the outermost open one
};
BracketBalance bracketBalance(std::string_view text);

// Whether a line ending [text] continues on the next line.
inline bool continuesOnNextLine(std::string_view text) { return bracketBalance(text).open > 0; }

// Appends the next physical line [next] to [joined] as a script file joins
// lines: the line break becomes one space and the spaces and tabs that
// indent [next] are dropped.
void appendContinuationLine(std::string& joined, std::string_view next);
