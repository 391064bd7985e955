#include "interp/tokenizer.h"

void TokenList::addDroppedChar(char c) { dropped_.add(c); split(); }
void TokenList::addDelimiter(char c) { delimiters_.add(c); split(); }
void TokenList::addQuoteChar(char c) { quotes_.add(c); split(); }
void TokenList::addBracketPair(char open, char close) {
  bracketOpen_ += open;
  bracketClose_ += close;
  opens_.add(open);
  split();
}

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
  static const TokenList configured = [] {
    TokenList list;
    list.addDroppedChar('\t');
    list.addDelimiter(' ');
    list.addDelimiter(',');
    list.addBracketPair('(', ')');
    list.addQuoteChar('"');
    return list;
  }();
  return configured;
}

// One walk extracts every token at once: the same rules as counting, with a
// stretch's inner characters copied verbatim and dropped characters left out
// only outside stretches.
void TokenList::split() {
  tokens_.clear();
  starts_.clear();
  if (!hasText_) return;
  tokens_.reserve(8);
  starts_.reserve(8);
  tokens_.emplace_back();
  starts_.push_back(0);
  bool started = false;  // the current token has met its first character
  const std::string& t = text_;
  const size_t n = t.size();
  size_t i = 0;
  while (i < n) {
    const char c = t[i];
    if (delimiters_.has(c)) {
      tokens_.emplace_back();
      starts_.push_back(static_cast<uint32_t>(i + 1));
      started = false;
      ++i;
      continue;
    }
    if (!started) {
      // A token opening with a bracket or quote starts inside it.
      starts_.back() = static_cast<uint32_t>(quotes_.has(c) || opens_.has(c) ? i + 1 : i);
      started = true;
    }
    std::string& current = tokens_.back();
    if (quotes_.has(c)) {
      size_t j = i + 1;
      while (j < n && !quotes_.has(t[j])) ++j;
      current.append(t, i + 1, j - (i + 1));
      i = j < n ? j + 1 : n;
      continue;
    }
    if (opens_.has(c)) {
      // The first pair with this open character; nesting counts that pair only.
      const char close = bracketClose_[bracketOpen_.find(c)];
      int depth = 0;
      size_t j = i + 1;
      for (; j < n; ++j) {
        if (t[j] == c) {
          ++depth;
        } else if (t[j] == close) {
          if (depth == 0) break;
          --depth;
        }
      }
      current.append(t, i + 1, j - (i + 1));
      i = j < n ? j + 1 : n;
      continue;
    }
    // A plain run up to the next special character is copied at once.
    size_t j = i;
    while (j < n && !delimiters_.has(t[j]) && !quotes_.has(t[j]) && !opens_.has(t[j]) && !dropped_.has(t[j])) ++j;
    if (j > i) {
      current.append(t, i, j - i);
      i = j;
    } else {
      ++i;  // a dropped character
    }
  }
}

void normalizeSpacing(std::string& text, std::vector<uint32_t>* origin) {
  if (origin) {
    origin->clear();
    origin->reserve(text.size() + text.size() / 4 + 2);
  }
  if (text.empty()) {
    if (origin) origin->push_back(0);
    return;
  }
  size_t end = text.size();
  while (end > 0 && text[end - 1] == ' ') --end;
  std::string out;
  out.reserve(end + end / 4 + 1);
  bool inWord = false;
  int spacesSinceWord = 0;
  bool afterOpenBracket = false;
  for (size_t i = 0; i < end; ++i) {
    const char c = text[i];
    if (c == '(' && inWord && spacesSinceWord == 0) {
      out += ' ';
      if (origin) origin->push_back(static_cast<uint32_t>(i));
    }
    if (c != ' ') {
      inWord = true;
      if (c != '\t') spacesSinceWord = 0;
    }
    if (inWord && !(c == ' ' && afterOpenBracket)) {
      out += c;
      if (origin) origin->push_back(static_cast<uint32_t>(i));
    }
    if (c == ' ') {
      spacesSinceWord = spacesSinceWord < 2 ? spacesSinceWord + 1 : 2;
      inWord = false;
    } else {
      afterOpenBracket = (c == '(');
    }
  }
  if (origin) origin->push_back(static_cast<uint32_t>(end));
  text.swap(out);
}
