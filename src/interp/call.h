// What every keyword and extension command is handed: the evaluation it
// runs in, the two ways the language evaluates an argument token, and the
// reports the language makes, so each keyword reads as a few lines of its
// own logic.
#pragma once

#include <ostream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "interp/expression_cache.h"
#include "interp/interpreter.h"
#include "runtime/console.h"
#include "runtime/diagnostics.h"
#include "value/object.h"

class Arg;

// One evaluation of a multi-token expression, as seen by its keyword.
struct Call {
  Interpreter& interp;
  const ParsedExpr& expr;
  const std::string& text;  // the expression text, quoted by diagnostics
  Scope& callerScope;       // the scope `delete` acts on
  Scope& localScope;        // this evaluation's snapshot of the caller's variables
  Scope& targetScope;       // where new, get, size and set act
  Object& result;           // the caller's result
  ScopeTarget target;       // how targetScope was chosen, handed on to what this evaluates
  EvalFrame& frame;         // this evaluation in the chain of those running

  // Number of tokens, keyword included.
  size_t tokenCount() const { return expr.tokens().tokenCount(); }
  // Token [i] as written (one level of brackets removed); empty beyond the end.
  const std::string& token(size_t i) const { return expr.tokens().token(i); }

  // The argument rule: token [i] evaluated into a fresh value, with this
  // evaluation's variables as the caller's and a snapshot of its own, so
  // what it creates ends with it.
  Arg argument(size_t i) const;
  // The argument rule into an existing record [into] (the branch of `if`).
  void argumentInto(size_t i, Object& into) const;
  // The statement rule: token [i] evaluated into [into] acting on this
  // evaluation's variables, so what it creates stays visible to the
  // statements after it (begin, while, a script).
  void statement(size_t i, Object& into) const;
  // Token [i] evaluated into [into] with the globals as the target of every
  // variable operation in it (`global`).
  void underGlobals(size_t i, Object& into) const;
  // The target of a text this evaluation runs by the statement rule (a
  // script): its own variables, or the globals inside `global`.
  ScopeTarget statementTarget() const { return target == ScopeTarget::Globals ? target : ScopeTarget::Caller; }
  // The same for the argument rule.
  ScopeTarget argumentTarget() const { return target == ScopeTarget::Globals ? target : ScopeTarget::Own; }

  // Prints "Syntax error '" + expression text + "'" + [reason] + "\n".
  void syntaxError(std::string_view reason) const;

  // The reactions the language requires, each a check that reports its own
  // syntax error and answers whether the keyword may go on.
  //
  // [fits] of a size this keyword would make; otherwise "; size too large".
  bool sizeFits(bool fits) const;
  // A [rows] × [cols] matrix within the element budget (sizeFits's report).
  bool fitsElementBudget(int64_t rows, int64_t cols) const;
  // Every dimension of the system [dims] at least 1; otherwise "; subsystem
  // dimension <= 0".
  bool dimensionsPositive(const std::vector<int32_t>& dims) const;
  // [value] of type [type]; otherwise "; " + [reason].
  bool hasType(const Object& value, ValueType type, std::string_view reason) const;
  // [value]'s matrix, after reporting "; " + [reason] when it holds none.
  // The language reports such a value twice: this syntax error, then the
  // matrix getter's thrown message, which ends the line (or the `if`
  // around it). The report does not stop the read: the getter's throw does.
  const Matrix& reportedMatrix(const Object& value, std::string_view reason) const;
  // The interpreter's standard output.
  std::ostream& out() const { return console(); }
  // Standard output for a diagnostic of this keyword (the run is marked as
  // having reported one, and the place is noted on standard error).
  DiagnosticLine report() const { return diagnostic(); }
  // A warning about this evaluation on standard error, given once per
  // expression text in each line or script run from the top (a loop does
  // not repeat it).
  WarningLine warn() const;
  // Notes on standard error what a thrown [error] this keyword caught and
  // reported means: where it was thrown beneath this evaluation, or which
  // argument held what when this keyword's own read threw it.
  void noteCaught(ScriptError& error) const;
  // Warns that no variable [name] is visible to this evaluation, so
  // [consequence] ("get gives nothing").
  void warnUnknownVariable(std::string_view name, std::string_view consequence) const;
  // Warns when an assignment to [name] of a value of [type] (nothing when
  // not [hasValue]) reached no variable, as [found] says, naming [what] was
  // not stored ("the value", "the outcome").
  void warnUnassigned(std::string_view name, const Scope::Assignment& found, ValueType type, bool hasValue,
                      std::string_view what) const {
    if (found.entries == 0 || !hasValue || found.newestType != type) noteUnassigned(name, found, type, hasValue, what);
  }
  void noteUnassigned(std::string_view name, const Scope::Assignment& found, ValueType type, bool hasValue,
                      std::string_view what) const;
};

// An argument evaluated by the argument rule and held for reading. A literal
// is read where its parsed text keeps it (no copy, and never changed: only
// const access is given); anything else is evaluated into a record of its own.
class Arg {
 public:
  Arg(const Call& call, size_t i);
  Arg(Arg&& other) noexcept;
  Arg(const Arg&) = delete;
  Arg& operator=(const Arg&) = delete;
  Arg& operator=(Arg&&) = delete;

  const Object& operator*() const { return *value_; }
  const Object* operator->() const { return value_; }
  // The value as a record of its own, for keeping or moving into a
  // variable: moved out when it is this argument's own, else shared.
  Object take();
  // The value read as a variable name (the string getter's rules); a
  // literal's hash is the one worked out when its text was split.
  VariableName asVariableName() const {
    const std::string& name = value_->getString();
    return value_ == &own_ ? VariableName(name) : VariableName(name, expr_->literalHash());
  }

 private:
  // Evaluates a non-literal argument [i] of [call] into own_.
  void evaluateOwn(const Call& call, size_t i);

  ParsedRef expr_;  // keeps a literal's value alive while it is read
  Object own_;
  const Object* value_ = &own_;
};

// Inline: a literal argument costs a check and a count, with no call.
inline Arg::Arg(const Call& call, size_t i) : expr_(call.interp.expressions.argument(call.expr, i)) {
  if (expr_->isLiteral()) {
    // A literal's value stays in the parse, where a getter's complaint
    // finds it again.
    call.interp.countEvaluation(expr_->text().size());
    value_ = &expr_->literalValue();
    return;
  }
  evaluateOwn(call, i);
}

inline Arg Call::argument(size_t i) const { return Arg(*this, i); }

// Inline: every statement of a block or a loop body goes through here.
inline void Call::statement(size_t i, Object& into) const {
  const ParsedRef statementExpr = interp.expressions.argument(expr, i);
  interp.evaluate(*statementExpr, localScope, into, statementTarget(), static_cast<uint32_t>(i));
}

// Writes an integer as text the way the language names derived variables
// (S.ket.3, A.10): decimal, no leading zeros.
inline std::string decimal(int64_t n) { return std::to_string(n); }
