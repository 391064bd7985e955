#include "interp/interpreter.h"

#include <stdexcept>

#include "interp/builtin.h"
#include "interp/tokenizer.h"
#include "value/error.h"

namespace {

// Counts one level of nesting and the text it holds for as long as the
// evaluation runs (countEvaluation has refused a level beyond either limit).
class DepthGuard {
 public:
  DepthGuard(int& depth, size_t& liveText, size_t textBytes) : depth_(depth), liveText_(liveText), bytes_(textBytes) {
    ++depth_;
    liveText_ += bytes_;
  }
  ~DepthGuard() {
    --depth_;
    liveText_ -= bytes_;
  }
  DepthGuard(const DepthGuard&) = delete;
  DepthGuard& operator=(const DepthGuard&) = delete;

 private:
  int& depth_;
  size_t& liveText_;
  size_t bytes_;
};

}  // namespace

Interpreter::~Interpreter() {
  extensions.clear();
  globals.clear();
}

void Interpreter::evaluate(const std::string& text, Scope& callerScope, Object& result, bool toGlobal, bool ownScope) {
  const ParsedRef expr = expressions.lookup(text);
  evaluate(*expr, callerScope, result, toGlobal, ownScope);
}

void Interpreter::tooDeep() { throw ScriptError("nesting too deep"); }
void Interpreter::stepLimitReached() { throw ScriptError("step limit reached"); }

void Interpreter::evaluate(const ParsedExpr& expr, Scope& callerScope, Object& result, bool toGlobal, bool ownScope) {
  if (evaluationStackExhausted()) tooDeep();
  countEvaluation(expr.text().size());
  DepthGuard guard(depth_, liveTextBytes_, expr.text().size());
  if (expr.isLiteral()) {
    expr.writeLiteral(result);
    return;
  }
  Scope localScope(callerScope, 0);
  Scope& targetScope = toGlobal ? globals : (ownScope ? localScope : callerScope);
  Call call{*this, expr.tokens(), expr.text(), callerScope, localScope, targetScope, result, toGlobal, ownScope, &expr};
  if (BuiltinFn fn = expr.builtin()) {
    fn(call);
    return;
  }
  if (CommandExtension* extension = findExtension(expr)) {
    extension->execute(expr.tokens(), localScope, result, toGlobal, ownScope, *this);
    return;
  }
  call.syntaxError("");
}

CommandExtension* Interpreter::findExtension(const ParsedExpr& expr) {
  // The registry is filled at start-up; the position found last time is
  // checked rather than trusted, and a keyword nothing answered is asked
  // again (the syntax error path is not a loop's).
  const size_t known = expr.extensionIndex;
  if (expr.extension && known < extensions.size() && extensions[known].get() == expr.extension) {
    return extensions[known].get();
  }
  const std::string& keyword = expr.tokens().token(0);
  for (size_t k = 0; k < extensions.size(); ++k) {
    CommandExtension* extension = extensions[k].get();
    if (extension && extension->commandName() == keyword) {
      expr.extension = extension;
      expr.extensionIndex = k;
      return extension;
    }
  }
  expr.extension = nullptr;
  return nullptr;
}

void Call::evaluateToken(size_t i, Object& into, bool global, bool ownScopeOfToken) const {
  if (parsed) {
    const ParsedRef expr = interp.expressions.argument(*parsed, i);
    interp.evaluate(*expr, localScope, into, global, ownScopeOfToken);
  } else {
    interp.evaluate(token(i), localScope, into, global, ownScopeOfToken);
  }
}

ArgValue::ArgValue(const Call& call, size_t i) {
  if (!call.parsed) {
    call.evaluateToken(i, own_, call.toGlobal, true);
    return;
  }
  expr_ = call.interp.expressions.argument(*call.parsed, i);
  if (expr_->isLiteral()) {
    call.interp.countEvaluation(expr_->text().size());
    value_ = &expr_->literalValue();
  } else {
    call.interp.evaluate(*expr_, call.localScope, own_, call.toGlobal, true);
  }
}

Object Call::arg(size_t i) const {
  Object value;
  evaluateToken(i, value, toGlobal, true);
  return value;
}

void Call::evalArg(size_t i, Object& into) const { evaluateToken(i, into, toGlobal, true); }

void Call::evalStatement(size_t i, Object& into) const { evaluateToken(i, into, toGlobal, false); }

void Call::syntaxError(std::string_view reason) const {
  report() << "Syntax error '" << text << "'" << reason << "\n";
}
