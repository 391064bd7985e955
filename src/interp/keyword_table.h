// The keywords an interpreter knows, found by spelling. The shell builds one
// from the language's rows and hands it to the interpreter, which never names
// a keyword function itself.
#pragma once

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "interp/keyword_row.h"

class KeywordTable {
 public:
  // Indexes every spelling of [tables]' rows, in order. Spellings are
  // distinct, so which table comes first decides only the order in which
  // rows() lists them.
  explicit KeywordTable(std::initializer_list<KeywordRows> tables);

  // The row spelled [word] (a main spelling or an alias), or nullptr.
  const KeywordRow* find(std::string_view word) const;
  // Every row, in table order.
  const std::vector<const KeywordRow*>& rows() const { return rows_; }
  // Every spelling, in table order, each row's main spelling first.
  std::vector<std::string> spellings() const;

 private:
  std::vector<const KeywordRow*> rows_;
  std::unordered_map<std::string_view, const KeywordRow*> bySpelling_;
};

// The spellings of [row]: its main spelling, then its aliases.
std::vector<std::string> spellingsOf(const KeywordRow& row);
