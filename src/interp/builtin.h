// What every keyword of the language is handed, and the helpers that keep
// each keyword a few lines of its own logic.
#pragma once

#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "interp/interpreter.h"
#include "interp/tokenizer.h"
#include "value/console.h"
#include "value/diagnostics.h"
#include "value/object.h"

// One evaluation of a multi-token expression, as seen by its keyword.
struct Call {
  Interpreter& interp;
  const TokenList& tokens;
  const std::string& text;  // the expression text, quoted by diagnostics
  Scope& callerScope;
  Scope& localScope;
  Scope& targetScope;  // where new, get, size and set act
  Object& result;      // the caller's result
  bool toGlobal;
  bool ownScope;
  const ParsedExpr* parsed = nullptr;  // the split expression, when the evaluator has one

  // Number of tokens, keyword included.
  size_t tokenCount() const { return tokens.tokenCount(); }
  // Token [i] as written (one level of brackets removed); empty beyond the end.
  const std::string& token(size_t i) const { return tokens.token(i); }

  // The argument rule: token [i] evaluated into a fresh value with this
  // evaluation's scope as the caller's.
  Object arg(size_t i) const;
  // The argument rule into an existing record [into] (the `if` branch).
  void evalArg(size_t i, Object& into) const;
  // The statement rule: token [i] evaluated into [into] with ownScope false,
  // so variables it creates land in this evaluation's scope.
  void evalStatement(size_t i, Object& into) const;
  // Token [i] evaluated into [into] with this evaluation's scope as the
  // caller's and the flags [global] and [ownScopeOfToken] (the rules above,
  // and `global`).
  void evaluateToken(size_t i, Object& into, bool global, bool ownScopeOfToken) const;

  // Prints "Syntax error '" + expression text + "'" + [reason] + "\n".
  void syntaxError(std::string_view reason) const;
  // The interpreter's standard output.
  std::ostream& out() const { return console(); }
  // Standard output for a diagnostic of this keyword (the run is marked as
  // having reported one).
  std::ostream& report() const { return diagnostic(); }
};

// Token [i] of [call] evaluated by the argument rule and held for reading:
// a literal is read where its parsed text keeps it (no copy), anything else
// is evaluated into a record of its own. For arguments that are only read.
class ArgValue {
 public:
  ArgValue(const Call& call, size_t i);
  ArgValue(const ArgValue&) = delete;
  ArgValue& operator=(const ArgValue&) = delete;

  const Object& operator*() const { return *value_; }
  const Object* operator->() const { return value_; }
  // The value read as a variable name (the string getter's rules); a
  // literal's hash is the one worked out when its text was split.
  VariableName asVariableName() const {
    const std::string& text = value_->getString();
    return value_ == &own_ ? VariableName(text) : VariableName(text, expr_->literalHash());
  }

 private:
  ParsedRef expr_;  // keeps a literal's value alive while it is read
  Object own_;
  const Object* value_ = &own_;
};

// The shape of every built-in keyword.
using BuiltinFn = void (*)(Call&);

struct BuiltinEntry {
  const char* keyword;
  BuiltinFn fn;
};

// The dispatch table, in the language's matching order (defined with the
// built-ins; the evaluator only looks keywords up in it).
const std::vector<BuiltinEntry>& builtinTable();
// The built-in for [keyword], or nullptr.
BuiltinFn findBuiltin(const std::string& keyword);

// Writes an integer as text the way the language names derived variables
// (S.ket.3, A.10): decimal, no leading zeros.
inline std::string decimal(int64_t n) { return std::to_string(n); }
