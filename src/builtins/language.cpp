// The language's keywords: the tables at the end of each file of keywords,
// gathered. Spellings are distinct, so the order of the tables decides only
// the order in which `!help` lists and Tab completes them.
#include "builtins/language.h"

#include "builtins/keyword_tables.h"

const KeywordTable& languageKeywords() {
  static const KeywordTable table{controlKeywords(),     variableKeywords(),  arithmeticKeywords(),
                                  mathematicsKeywords(), comparisonKeywords(), arrayKeywords(),
                                  consoleKeywords(),     scriptKeywords(),     gateKeywords(),
                                  operatorKeywords(),    unitarityKeywords(),  measurementKeywords()};
  return table;
}

const std::vector<const char*>& keywordGroups() {
  static const std::vector<const char*> groups = {"control",     "variables", "arithmetic",        "mathematics",
                                                  "comparisons", "arrays",    "console and files", "quantum"};
  return groups;
}
