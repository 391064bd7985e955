#include "interp/line_continuation.h"

BracketBalance bracketBalance(std::string_view text) {
  BracketBalance balance;
  const size_t n = text.size();
  size_t i = 0;
  while (i < n) {
    const char c = text[i];
    if (c == '"') {
      // A quoted stretch outside brackets runs to the next quote.
      const size_t close = text.find('"', i + 1);
      i = close == std::string_view::npos ? n : close + 1;
      continue;
    }
    if (c == '(') {
      // A bracketed stretch: only brackets count inside it.
      size_t depth = 0;
      size_t j = i + 1;
      for (; j < n; ++j) {
        if (text[j] == '(') {
          ++depth;
        } else if (text[j] == ')') {
          if (depth == 0) break;
          --depth;
        }
      }
      if (j == n) {
        balance.open = depth + 1;
        balance.firstUnclosed = i;
        return balance;
      }
      i = j + 1;
      continue;
    }
    ++i;
  }
  return balance;
}

void appendContinuationLine(std::string& joined, std::string_view next) {
  size_t start = 0;
  while (start < next.size() && (next[start] == ' ' || next[start] == '\t')) ++start;
  joined += ' ';
  joined.append(next.substr(start));
}
