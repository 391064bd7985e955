#include "interp/keyword_table.h"

#include <sstream>

std::vector<std::string> spellingsOf(const KeywordRow& row) {
  std::vector<std::string> words{row.name};
  std::istringstream aliases(row.aliases);
  for (std::string word; aliases >> word;) words.push_back(word);
  return words;
}

KeywordTable::KeywordTable(std::initializer_list<KeywordRows> tables) {
  for (const KeywordRows& table : tables) {
    for (const KeywordRow& row : table) {
      rows_.push_back(&row);
      bySpelling_.emplace(row.name, &row);
      std::string_view aliases = row.aliases;
      while (!aliases.empty()) {
        const size_t start = aliases.find_first_not_of(' ');
        if (start == std::string_view::npos) break;
        aliases.remove_prefix(start);
        const size_t end = std::min(aliases.find(' '), aliases.size());
        bySpelling_.emplace(aliases.substr(0, end), &row);
        aliases.remove_prefix(end);
      }
    }
  }
}

const KeywordRow* KeywordTable::find(std::string_view word) const {
  const auto it = bySpelling_.find(word);
  return it == bySpelling_.end() ? nullptr : it->second;
}

std::vector<std::string> KeywordTable::spellings() const {
  std::vector<std::string> words;
  for (const KeywordRow* row : rows_) {
    for (std::string& word : spellingsOf(*row)) words.push_back(std::move(word));
  }
  return words;
}
