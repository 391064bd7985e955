// The built-in keywords of the language, for the shell to hand to an
// interpreter.
#pragma once

#include <vector>

#include "interp/keyword_table.h"

// Every keyword of the language, built once.
const KeywordTable& languageKeywords();
// The help groups in the order `!help` lists them.
const std::vector<const char*>& keywordGroups();
