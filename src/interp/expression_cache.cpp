#include "interp/expression_cache.h"

#include "value/number_text.h"

namespace {

// A single-token text is a literal: never a variable, never a keyword.
// Returns its type and sets [payload] to its value.
ValueType classifyLiteral(const std::string& t, PayloadPtr& payload) {
  const auto asString = [&] {
    payload = makePayload(t);
    return ValueType::String;
  };
  if (t.empty()) return asString();
  const char first = t[0];
  const bool numeric = (first >= '0' && first <= '9') || ((first == '-' || first == '.') && t.size() >= 2);
  if (!numeric) return asString();
  size_t dots = 0;
  for (char c : t) {
    if (c == '.' && ++dots == 2) return asString();
  }
  if (dots == 0) {
    payload = makePayload(textToInteger(t));
    return ValueType::Integer;
  }
  payload = makePayload(textToDouble(t));
  return ValueType::Double;
}

}  // namespace

ParsedExpr::ParsedExpr(std::string text, const KeywordResolver& resolve) : tokens_(TokenList::forExpressions()) {
  tokens_.setText(std::move(text));
  const size_t count = tokens_.tokenCount();
  size_t tokenBytes = 0;
  for (size_t i = 0; i < count; ++i) tokenBytes += tokens_.token(i).size() + sizeof(std::string);
  if (count == 1) {
    PayloadPtr value;
    const ValueType type = classifyLiteral(tokens_.token(0), value);
    literal_ = Object("temp", type, std::move(value));
    if (type == ValueType::String) literalHash_ = hashName(tokens_.token(0));
  } else {
    keyword_ = resolve(tokens_.token(0));
    ignoresArguments_ = keyword_ && keyword_->args.max != kAnyCount && count > size_t{keyword_->args.max} + 1;
    children_.assign(count, nullptr);
  }
  bytes_ = sizeof(ParsedExpr) + tokens_.text().size() + tokenBytes + count * sizeof(ParsedExpr*) + 96;
}

void ParsedRef::destroy(ParsedExpr* p) {
  for (ParsedExpr* child : p->children_) release(child);
  delete p;
}

ParsedRef ExpressionCache::lookup(std::string_view text) {
  if (const auto it = table_.find(text); it != table_.end()) return ParsedRef(it->second);
  ParsedRef made(new ParsedExpr(std::string(text), resolve_));
  ParsedExpr* e = made.get();
  // A text too large to share the cache with others is used once and let go.
  if (e->bytes_ > limit_ / 4) return made;
  if (bytes_ + e->bytes_ > limit_) clear();
  e->cached_ = true;
  ++e->refs_;
  bytes_ += e->bytes_;
  table_.emplace(std::string_view(e->text()), e);
  return made;
}

ParsedRef ExpressionCache::link(const ParsedExpr& parent, size_t i) {
  ParsedRef child = lookup(parent.tokens_.token(i));
  // Only cached expressions hold links, and only to cached ones: what the
  // cache lets go of then holds nothing beyond what it counted.
  if (parent.cached_ && child->cached_ && i < parent.children_.size()) {
    auto& self = const_cast<ParsedExpr&>(parent);
    self.children_[i] = child.get();
    ++child.get()->refs_;
  }
  return child;
}

void ExpressionCache::clear() {
  std::vector<ParsedExpr*> held;
  held.reserve(table_.size());
  for (const auto& [text, e] : table_) held.push_back(e);
  table_.clear();
  bytes_ = 0;
  for (ParsedExpr* e : held) {
    e->cached_ = false;
    for (ParsedExpr*& child : e->children_) {
      ParsedRef::release(child);
      child = nullptr;
    }
  }
  for (ParsedExpr* e : held) ParsedRef::release(e);
}
