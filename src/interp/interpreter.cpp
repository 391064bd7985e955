#include "interp/interpreter.h"

#include <stdexcept>

#include "interp/call.h"
#include "interp/tokenizer.h"
#include "runtime/script_error.h"
#include "value/split_column.h"

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

// Makes [frame] (whose parent is the innermost evaluation) the innermost
// evaluation for as long as it lives.
class FrameGuard {
 public:
  FrameGuard(const EvalFrame*& top, const EvalFrame& frame) : top_(top), frame_(frame) { top_ = &frame; }
  ~FrameGuard() { top_ = frame_.parent; }
  FrameGuard(const FrameGuard&) = delete;
  FrameGuard& operator=(const FrameGuard&) = delete;

 private:
  const EvalFrame*& top_;
  const EvalFrame& frame_;
};

// Installs an interpreter as the place-giver of diagnostics while it runs a
// text, and puts back whichever was there before.
class LocatorGuard {
 public:
  explicit LocatorGuard(const DiagnosticLocator* locator) : previous_(setDiagnosticLocator(locator)) {}
  ~LocatorGuard() { setDiagnosticLocator(previous_); }
  LocatorGuard(const LocatorGuard&) = delete;
  LocatorGuard& operator=(const LocatorGuard&) = delete;

 private:
  const DiagnosticLocator* previous_;
};

}  // namespace

Interpreter::Interpreter(const KeywordTable& keywords, ConsoleInput* input)
    : expressions([this](std::string_view word) { return resolve(word); }), keywords_(keywords), input_(input) {}

Interpreter::~Interpreter() { globals.clear(); }

void Interpreter::registerExtension(const KeywordRow& row) {
  extensions_.push_back(&row);
  // Texts split earlier resolved their keyword without this command.
  expressions.clear();
}

const KeywordRow* Interpreter::findExtension(std::string_view name) const {
  for (const KeywordRow* row : extensions_) {
    if (row->name == name) return row;
  }
  return nullptr;
}

const KeywordRow* Interpreter::resolve(std::string_view word) const {
  // Built-ins are matched before extension commands, so an extension can
  // never replace a built-in.
  if (const KeywordRow* row = keywords_.find(word)) return row;
  return findExtension(word);
}

void Interpreter::evaluateLine(std::string text, Scope& callerScope, Object& result, ScopeTarget target,
                               const SourceText* source) {
  const SourceText typed = source ? SourceText() : SourceText::ofLine(std::string(), text);
  std::vector<uint32_t> origin;
  normalizeSpacing(text, &origin);
  const SourceText place = (source ? *source : typed).tidied(origin);
  // A text run from the top starts a new round of warnings.
  if (!top_) ++epoch_;
  const LocatorGuard locating(this);
  EvalFrame root{nullptr, top_, EvalFrame::kWholeText, &place};
  const FrameGuard rooted(top_, root);
  warnUnbalanced(text, place);
  const ParsedRef expr = expressions.lookup(text);
  evaluate(*expr, callerScope, result, target);
}

void Interpreter::tooDeep() { throw ScriptError("nesting too deep"); }
void Interpreter::stepLimitReached() { throw ScriptError("step limit reached"); }

void Interpreter::evaluate(const ParsedExpr& expr, Scope& callerScope, Object& result, ScopeTarget target,
                           uint32_t token) {
  if (evaluationStackExhausted()) tooDeep();
  countEvaluation(expr.text().size());
  DepthGuard guard(depth_, liveTextBytes_, expr.text().size());
  if (expr.isLiteral()) {
    expr.writeLiteral(result);
    return;
  }
  EvalFrame frame{&expr, top_, token};
  const FrameGuard active(top_, frame);
  Scope localScope = Scope::snapshotOf(callerScope);
  Scope& targetScope =
      target == ScopeTarget::Globals ? globals : (target == ScopeTarget::Own ? localScope : callerScope);
  Call call{*this, expr, expr.text(), callerScope, localScope, targetScope, result, target, frame};
  try {
    if (const KeywordRow* keyword = expr.keyword()) {
      if (expr.ignoresArguments()) {
        const size_t extra = call.tokenCount() - 1 - keyword->args.max;
        call.warn() << keyword->name << " reads " << int{keyword->args.max}
                    << (keyword->args.max == 1 ? " argument" : " arguments") << "; " << extra
                    << (extra == 1 ? " more is" : " more are") << " ignored";
      }
      keyword->run(call);
      return;
    }
    call.syntaxError("");
    unknownKeyword(call);
  } catch (ScriptError& error) {
    // The innermost evaluation an error leaves says where it happened.
    if (!error.hasNote()) describeError(error, frame);
    throw;
  }
}

namespace {

// Token [i] of [call] evaluated into [into], acting on the variables [target] names.
void evaluateToken(const Call& call, size_t i, Object& into, ScopeTarget target) {
  const ParsedRef expr = call.interp.expressions.argument(call.expr, i);
  call.interp.evaluate(*expr, call.localScope, into, target, static_cast<uint32_t>(i));
}

}  // namespace

void Arg::evaluateOwn(const Call& call, size_t i) {
  call.interp.evaluate(*expr_, call.localScope, own_, call.argumentTarget(), static_cast<uint32_t>(i));
  // Remembered so that a getter's complaint can name the argument.
  if (i < EvalFrame::kTrackedArguments) {
    call.frame.argPayload[i] = own_.payload.get();
    call.frame.argsSeen |= uint32_t{1} << i;
  }
}

Arg::Arg(Arg&& other) noexcept : expr_(std::move(other.expr_)), own_(std::move(other.own_)) {
  value_ = other.value_ == &other.own_ ? &own_ : other.value_;
}

Object Arg::take() {
  if (value_ == &own_) return std::move(own_);
  return *value_;
}

void Call::argumentInto(size_t i, Object& into) const {
  evaluateToken(*this, i, into, argumentTarget());
}


void Call::underGlobals(size_t i, Object& into) const { evaluateToken(*this, i, into, ScopeTarget::Globals); }

void Call::syntaxError(std::string_view reason) const {
  report() << "Syntax error '" << text << "'" << reason << "\n";
}

void Call::noteCaught(ScriptError& error) const {
  std::string note;
  if (error.hasNote()) {
    note = error.note();
  } else {
    // Thrown by this keyword itself: its own place is noted with the report.
    interp.describeError(error, frame);
    note = error.note().substr(std::min(error.note().find('\n') + 1, error.note().size()));
    const size_t callers = note.find("  called from ");
    note = note.substr(0, callers);
  }
  if (note.empty()) return;
  console().flush();
  notes() << note;
  notes().flush();
}

WarningLine Call::warn() const {
  // Once per expression text in each line or script: a loop does not
  // repeat it.
  const bool first = expr.warnedEpoch != interp.warningEpoch();
  expr.warnedEpoch = interp.warningEpoch();
  return WarningLine(first);
}

bool Call::sizeFits(bool fits) const {
  if (!fits) syntaxError("; size too large");
  return fits;
}

bool Call::fitsElementBudget(int64_t rows, int64_t cols) const { return sizeFits(::fitsElementBudget(rows, cols)); }

bool Call::dimensionsPositive(const std::vector<int32_t>& dims) const {
  for (const int32_t d : dims) {
    if (d <= 0) {
      syntaxError("; subsystem dimension <= 0");
      return false;
    }
  }
  return true;
}

bool Call::hasType(const Object& value, ValueType type, std::string_view reason) const {
  if (value.is(type)) return true;
  syntaxError(std::string("; ") + std::string(reason));
  return false;
}

const Matrix& Call::reportedMatrix(const Object& value, std::string_view reason) const {
  hasType(value, ValueType::Matrix, reason);
  return value.getMatrix();
}
