// Splitting one expression into its top-level tokens, and the tidying of a
// line or script text before it is evaluated.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

class TokenList {
 public:
  // Character classes; each only grows and takes effect at once.
  void addDroppedChar(char c);
  void addDelimiter(char c);
  void addQuoteChar(char c);
  void addBracketPair(char open, char close);

  // Replaces the text being split with [text].
  void setText(std::string text);
  const std::string& text() const { return text_; }

  // Number of top-level tokens: at least 1 once a text is set.
  size_t tokenCount() const { return tokens_.size(); }
  // Token [i] with one level of brackets or quotes removed and dropped
  // characters left out; empty for an index beyond the count.
  const std::string& token(size_t i) const;
  // Where token [i] starts in the text (inside its brackets or quotes when
  // it opens with them); 0 for an index beyond the count.
  size_t tokenStart(size_t i) const { return i < starts_.size() ? starts_[i] : 0; }

  // The evaluator's configuration: tab dropped; space and comma delimit;
  // "(" with ")" brackets; the double quote quotes.
  static TokenList forExpressions();

 private:
  // A set of byte values, tested in constant time.
  class CharSet {
   public:
    void add(char c) { bits_[byte(c) >> 6] |= uint64_t{1} << (byte(c) & 63); }
    bool has(char c) const { return (bits_[byte(c) >> 6] >> (byte(c) & 63)) & 1; }

   private:
    static unsigned byte(char c) { return static_cast<unsigned char>(c); }
    std::array<uint64_t, 4> bits_{};
  };

  void split();

  std::string text_;
  bool hasText_ = false;
  CharSet dropped_, delimiters_, quotes_, opens_;
  // Bracket pairs in the order added: bracketOpen_[k] closes with bracketClose_[k].
  std::string bracketOpen_, bracketClose_;
  std::vector<std::string> tokens_;
  std::vector<uint32_t> starts_;
};

// Tidies spacing in place: trailing spaces cut, runs of spaces collapsed,
// spaces after "(" removed, and a "(" that follows a non-space gets a space
// before it (so "((" becomes "( ("). Tabs stay where they are. With
// [origin], origin[j] becomes the index in the untidied text of character j
// of the tidied one (an inserted space: the "(" it stands before), plus one
// entry past the end.
void normalizeSpacing(std::string& text, std::vector<uint32_t>* origin = nullptr);
