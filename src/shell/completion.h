// Completion and inspection of text being typed, for front ends that ask for
// them (the notebook kernel): the word at the cursor completed from the
// keywords, the extension commands and the global variables, or from file
// names after `file`; and a keyword's synopsis as !help prints it.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "interp/interpreter.h"

// The candidates for the word that occupies bytes [start, end) of a text.
struct Completion {
  size_t start = 0;
  size_t end = 0;
  std::vector<std::string> matches;  // sorted, each once
};

// Completes the word that ends at byte [cursor] of [text]: after `file`
// with the names of files and folders (folders end in "/"), otherwise with
// the keywords, the extension commands, the shell commands and the names of
// the global variables that start with it.
Completion completeAt(const Interpreter& interp, std::string_view text, size_t cursor);

// What !help prints for the word around byte [cursor] of [text]; empty when
// that word is no keyword or extension command.
std::string inspectAt(Interpreter& interp, std::string_view text, size_t cursor);
