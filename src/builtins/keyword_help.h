// The synopsis of every keyword, grouped by what it does: what `!help`
// lists and what `!help WORD` prints.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "interp/interpreter.h"

// One keyword and its other spellings, with what it takes and gives.
struct KeywordHelp {
  const char* group;     // one of keywordGroups()
  const char* keyword;   // the main spelling
  const char* aliases;   // other spellings, space-separated ("" for none)
  const char* usage;     // the keyword with its arguments
  const char* summary;   // the arguments' kinds and what it gives
  const char* example;   // one line to type
  const char* printed;   // what that line prints first
};

// The groups in the order `!help` lists them.
const std::vector<const char*>& keywordGroups();
// Every keyword of the language, by group.
const std::vector<KeywordHelp>& keywordHelpTable();

// The entry for [word] (a main spelling or an alias), or nullptr.
const KeywordHelp* findKeywordHelp(const std::string& word);

// Prints the keywords by group, then the extension commands of [interp].
void printHelpIndex(const Interpreter& interp, std::ostream& out);
// Prints the synopsis of the keyword [word], or an extension's own help.
// Returns false when [word] is neither.
bool printHelpFor(Interpreter& interp, const std::string& word, std::ostream& out);
