// The process-wide state of one run and the recursive evaluator.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "interp/console_io.h"
#include "interp/evaluation_stack.h"  // runWithLargeStack
#include "interp/expression_cache.h"
#include "interp/scope.h"
#include "value/object.h"

// How deep evaluations may nest (arguments, statements, script files) before
// "nesting too deep" is thrown; well beyond what a typed line can reach. A
// stack too small for it throws the same sooner (interp/evaluation_stack.h).
inline constexpr int kMaxNestingDepth = 6000;
// How much expression text the evaluations in progress may hold together.
// Every level keeps its own text, so a long script nested deeply would grow
// memory with depth × length; past this, "nesting too deep" is thrown too.
inline constexpr size_t kMaxLiveTextBytes = size_t{64} << 20;

class Interpreter {
 public:
  // [input] supplies `user.input` lines and the key test of `while`; it may
  // be null (no input: every read is end of input, no key is ever pressed).
  explicit Interpreter(ConsoleInput* input = nullptr) : input_(input) {}
  ~Interpreter();

  Scope globals;
  std::vector<std::unique_ptr<CommandExtension>> extensions;

  // Evaluates the expression [text] with [callerScope] as the caller's
  // variables, writing into [result]. [toGlobal] makes the globals the target
  // of variable operations; [ownScope] false makes them act on the caller's
  // scope (the statement rule). Throws ScriptError for thrown messages.
  void evaluate(const std::string& text, Scope& callerScope, Object& result, bool toGlobal, bool ownScope);
  // The same for an expression already split (an argument or statement of a
  // running evaluation); [expr] must stay alive meanwhile.
  void evaluate(const ParsedExpr& expr, Scope& callerScope, Object& result, bool toGlobal, bool ownScope);

  // Texts split once and reused by every later evaluation of the same text.
  ExpressionCache expressions;

  // Counts one evaluation of a text of [textBytes] bytes against the step
  // limit and the nesting limits; throws "nesting too deep" or "step limit
  // reached" past them. (A literal read in place is counted the same way.)
  void countEvaluation(size_t textBytes) {
    if (depth_ >= kMaxNestingDepth || liveTextBytes_ + textBytes > kMaxLiveTextBytes) tooDeep();
    if (stepLimit != 0 && ++steps_ > stepLimit) stepLimitReached();
  }

  ConsoleInput* input() const { return input_; }
  void setInput(ConsoleInput* input) { input_ = input; }

  // Optional confinement for file keywords (fuzzing): when non-empty, paths
  // outside this directory cannot be opened.
  std::string fileRoot;

  // Optional cap on evaluations (fuzzing): when non-zero, the evaluation
  // that would exceed it throws "step limit reached". resetSteps() starts a
  // new count.
  uint64_t stepLimit = 0;
  void resetSteps() { steps_ = 0; }

 private:
  // Throw the limits' messages (out of line, off the evaluator's path).
  [[noreturn]] static void tooDeep();
  [[noreturn]] static void stepLimitReached();
  // The extension answering [expr]'s keyword, or nullptr.
  CommandExtension* findExtension(const ParsedExpr& expr);

  ConsoleInput* input_;
  int depth_ = 0;
  size_t liveTextBytes_ = 0;
  uint64_t steps_ = 0;
};
