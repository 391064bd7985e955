// Where the characters of a text to evaluate came from, so that a note can
// say where in a script (or a typed line) something happened.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct SourceText {
  // The script's path as given, "-e" for a command-line line, a front end's
  // own name ("cell[3]"), or empty for a line typed at the prompt.
  std::string name;
  // The line and column (from 1) of each character, plus one past the end.
  std::vector<uint32_t> line;
  std::vector<uint32_t> column;

  // The characters of [text], all on line [lineNumber] of [name].
  static SourceText ofLine(std::string name, const std::string& text, uint32_t lineNumber = 1);
  // Appends the place of one more character.
  void add(uint32_t lineNumber, uint32_t columnNumber) {
    line.push_back(lineNumber);
    column.push_back(columnNumber);
  }
  // The places of the characters of a text tidied from this one, [origin]
  // mapping each of them to a character here (normalizeSpacing's origin).
  SourceText tidied(const std::vector<uint32_t>& origin) const;
  // Character [at]'s place: "prog.dvx:3:5", or "column 5" at the prompt
  // ("line 2, column 5" beyond a first line).
  std::string place(size_t at) const;
};
