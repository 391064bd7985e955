#include "interp/tokenizer.h"

void TokenList::addDroppedChar(char c) { dropped_ += c; split(); }
void TokenList::addDelimiter(char c) { delimiters_ += c; split(); }
void TokenList::addQuoteChar(char c) { quotes_ += c; split(); }
void TokenList::addBracketPair(char open, char close) { brackets_.emplace_back(open, close); split(); }

void TokenList::setText(std::string text) {
  text_ = std::move(text);
  hasText_ = true;
  split();
}

const std::string& TokenList::token(size_t i) const {
  static const std::string empty;
  return i < tokens_.size() ? tokens_[i] : empty;
}

TokenList TokenList::forExpressions() {
  TokenList list;
  list.dropped_ = "\t";
  list.delimiters_ = " ,";
  list.brackets_.emplace_back('(', ')');
  list.quotes_ = "\"";
  return list;
}

// One walk extracts every token at once: the same rules as counting, with a
// stretch's inner characters copied verbatim and dropped characters left out
// only outside stretches.
void TokenList::split() {
  tokens_.clear();
  if (!hasText_) return;
  tokens_.emplace_back();
  const std::string& t = text_;
  const size_t n = t.size();
  size_t i = 0;
  while (i < n) {
    const char c = t[i];
    if (isIn(delimiters_, c)) {
      tokens_.emplace_back();
      ++i;
      continue;
    }
    std::string& current = tokens_.back();
    if (isIn(quotes_, c)) {
      size_t j = i + 1;
      while (j < n && !isIn(quotes_, t[j])) ++j;
      current.append(t, i + 1, j - (i + 1));
      i = j < n ? j + 1 : n;
      continue;
    }
    const std::pair<char, char>* pair = nullptr;
    for (const auto& p : brackets_) {
      if (p.first == c) {
        pair = &p;
        break;
      }
    }
    if (pair) {
      int depth = 0;
      size_t j = i + 1;
      for (; j < n; ++j) {
        if (t[j] == pair->first) {
          ++depth;
        } else if (t[j] == pair->second) {
          if (depth == 0) break;
          --depth;
        }
      }
      current.append(t, i + 1, j - (i + 1));
      i = j < n ? j + 1 : n;
      continue;
    }
    if (!isIn(dropped_, c)) current += c;
    ++i;
  }
}

void normalizeSpacing(std::string& text) {
  if (text.empty()) return;
  size_t end = text.size();
  while (end > 0 && text[end - 1] == ' ') --end;
  std::string out;
  out.reserve(end + end / 4 + 1);
  bool inWord = false;
  int spacesSinceWord = 0;
  bool afterOpenBracket = false;
  for (size_t i = 0; i < end; ++i) {
    const char c = text[i];
    if (c == '(' && inWord && spacesSinceWord == 0) out += ' ';
    if (c != ' ') {
      inWord = true;
      if (c != '\t') spacesSinceWord = 0;
    }
    if (inWord && !(c == ' ' && afterOpenBracket)) out += c;
    if (c == ' ') {
      spacesSinceWord = spacesSinceWord < 2 ? spacesSinceWord + 1 : 2;
      inWord = false;
    } else {
      afterOpenBracket = (c == '(');
    }
  }
  text.swap(out);
}
