// Expression texts split once. Loops evaluate the same condition and body
// texts over and over, and every argument of every keyword is a text of its
// own: the cache keeps each text's tokens, its keyword resolved and (for
// texts in the cache) its argument texts linked, so an evaluation that has
// been seen before neither splits nor hashes anything.
//
// The cache is bounded by the bytes it holds. When a new text would pass the
// bound, everything cached is let go; expressions still being evaluated stay
// alive through the references their evaluations hold, and are split anew
// the next time they are met. Nothing printed depends on the cache.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "interp/name_index.h"
#include "interp/tokenizer.h"
#include "value/object.h"

#include "interp/keyword_row.h"

// Finds the keyword row of a spelling, or nullptr.
using KeywordResolver = std::function<const KeywordRow*(std::string_view)>;

// One expression text, split and classified.
class ParsedExpr {
 public:
  // Splits [text] with the evaluator's configuration and, for a text of one
  // token, works out the literal it stands for; otherwise token 0 is looked
  // up with [resolve].
  ParsedExpr(std::string text, const KeywordResolver& resolve);
  ParsedExpr(const ParsedExpr&) = delete;
  ParsedExpr& operator=(const ParsedExpr&) = delete;

  const TokenList& tokens() const { return tokens_; }
  const std::string& text() const { return tokens_.text(); }
  // True for a text of one token: a literal, never a keyword.
  bool isLiteral() const { return tokens_.tokenCount() == 1; }
  // The literal as a value of its own, named "temp" (only for literals).
  const Object& literalValue() const { return literal_; }
  // The hash of a string literal, read as a variable name.
  uint64_t literalHash() const { return literalHash_; }
  // Writes the literal into [result] (an owning value, as a fresh one would be).
  void writeLiteral(Object& result) const { result = literal_; }

  // Token [i]'s parsed form when it is linked to this one, else nullptr.
  const ParsedExpr* linkedArgument(size_t i) const { return i < children_.size() ? children_[i] : nullptr; }

  // The keyword or extension command named by token 0 (resolved once, when
  // the text is split), or nullptr.
  const KeywordRow* keyword() const { return keyword_; }
  // Whether the keyword is given more arguments than it reads.
  bool ignoresArguments() const { return ignoresArguments_; }
  // The warning epoch in which this text last gave a warning (Call::warn).
  mutable uint32_t warnedEpoch = UINT32_MAX;

 private:
  friend class ExpressionCache;
  friend class ParsedRef;

  TokenList tokens_;
  const KeywordRow* keyword_ = nullptr;
  bool ignoresArguments_ = false;
  // Shared by every result it is written to, and never changed: setters give
  // a record a payload of its own, and assignment writes only into variables.
  Object literal_;
  uint64_t literalHash_ = 0;
  // Argument expressions by token index, linked on first use while cached.
  std::vector<ParsedExpr*> children_;
  uint32_t refs_ = 0;  // the cache's hold, the parents' links, running evaluations
  bool cached_ = false;
  size_t bytes_ = 0;  // what this entry costs the cache
};

// A counted reference that keeps a ParsedExpr alive (one thread only).
class ParsedRef {
 public:
  ParsedRef() = default;
  explicit ParsedRef(ParsedExpr* p) : p_(p) {
    if (p_) ++p_->refs_;
  }
  ParsedRef(const ParsedRef& o) : ParsedRef(o.p_) {}
  ParsedRef(ParsedRef&& o) noexcept : p_(o.p_) { o.p_ = nullptr; }
  ParsedRef& operator=(ParsedRef o) noexcept {
    std::swap(p_, o.p_);
    return *this;
  }
  ~ParsedRef() {
    if (p_ && --p_->refs_ == 0) destroy(p_);
  }

  const ParsedExpr& operator*() const { return *p_; }
  const ParsedExpr* operator->() const { return p_; }
  ParsedExpr* get() const { return p_; }

  // Drops one reference to [p]; the last one frees it and its links.
  static void release(ParsedExpr* p) {
    if (p && --p->refs_ == 0) destroy(p);
  }

 private:
  static void destroy(ParsedExpr* p);

  ParsedExpr* p_ = nullptr;
};

class ExpressionCache {
 public:
  // [resolve] finds the keyword of a text's token 0; [byteLimit]: the most
  // the cached texts, tokens and links may take.
  explicit ExpressionCache(KeywordResolver resolve, size_t byteLimit = kDefaultByteLimit)
      : resolve_(std::move(resolve)), limit_(byteLimit) {}
  ~ExpressionCache() { clear(); }
  ExpressionCache(const ExpressionCache&) = delete;
  ExpressionCache& operator=(const ExpressionCache&) = delete;

  // The parsed form of [text]: the cached one, or a new one (cached when it
  // fits within the limit).
  ParsedRef lookup(std::string_view text);
  // The parsed form of token [i] of [parent], through the parent's link
  // when there is one.
  ParsedRef argument(const ParsedExpr& parent, size_t i) {
    if (i < parent.children_.size() && parent.children_[i]) return ParsedRef(parent.children_[i]);
    return link(parent, i);
  }
  // Lets go of every cached expression.
  void clear();
  // Lets go of everything and caps the cache at [byteLimit] (0 caches nothing).
  void setByteLimit(size_t byteLimit) {
    clear();
    limit_ = byteLimit;
  }

  // What the cache holds now: entries and bytes (for tests).
  size_t entryCount() const { return table_.size(); }
  size_t byteCount() const { return bytes_; }

  static constexpr size_t kDefaultByteLimit = size_t{32} << 20;

 private:
  // Looks token [i] of [parent] up and links it to the parent when both are cached.
  ParsedRef link(const ParsedExpr& parent, size_t i);

  KeywordResolver resolve_;
  std::unordered_map<std::string_view, ParsedExpr*> table_;  // keys view the entries' own texts
  size_t limit_;
  size_t bytes_ = 0;
};
