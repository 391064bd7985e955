// `!help`: the keywords by group and the synopsis of one, read from the
// keyword rows.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "interp/interpreter.h"

// Prints the keywords of [interp] by group, then its extension commands.
void printHelpIndex(const Interpreter& interp, std::ostream& out);
// Prints the synopsis of the keyword [word], or an extension command's own
// help. Returns false when [word] is neither.
bool printHelpFor(const Interpreter& interp, const std::string& word, std::ostream& out);
// Every spelling of [interp]'s keywords, then its extension commands: the
// words Tab completes.
std::vector<std::string> completionWords(const Interpreter& interp);
