// The state of one run and the recursive evaluator.
//
// An interpreter, its scopes and its values belong to the one thread that
// evaluates (the numeric kernels it calls may use more, on matrices only):
// payload counts are not atomic and scope entries are stamped from a counter
// of that thread. Several interpreters may live on one thread, one after the
// other or side by side (the tests make many).
#pragma once

#include <cstdint>
#include <functional>
#include <string_view>
#include <string>
#include <vector>

#include "interp/console_io.h"
#include "interp/evaluation_stack.h"  // runWithLargeStack
#include "interp/expression_cache.h"
#include "interp/keyword_table.h"
#include "interp/scope.h"
#include "interp/source_text.h"
#include "runtime/diagnostics.h"
#include "runtime/script_error.h"
#include "runtime/file_access.h"
#include "value/object.h"

// How deep evaluations may nest (arguments, statements, script files) before
// "nesting too deep" is thrown; well beyond what a typed line can reach. A
// stack too small for it throws the same sooner (interp/evaluation_stack.h).
inline constexpr int kMaxNestingDepth = 6000;
// How much expression text the evaluations in progress may hold together.
// Every level keeps its own text, so a long script nested deeply would grow
// memory with depth × length; past this, "nesting too deep" is thrown too.
inline constexpr size_t kMaxLiveTextBytes = size_t{64} << 20;

// Which variables the variable keywords (new, get, size, set) of an
// evaluation act on.
enum class ScopeTarget {
  Own,      // its own snapshot of the caller's variables: what it creates ends with it (the argument rule)
  Caller,   // the caller's scope: what it creates stays for the caller (the statement rule)
  Globals,  // the globals, for it and everything it evaluates (inside `global`)
};

// One evaluation in progress. The frames of the running evaluations form a
// chain from the innermost one up to the text at its root (a typed line, a
// script), and through `file` to the text that ran it: enough to place any
// of them in its source when something is reported. A frame costs a few
// stores; everything else is worked out only when a note is written.
struct EvalFrame {
  // How many arguments of a keyword are remembered for naming the one a
  // getter refused.
  static constexpr size_t kTrackedArguments = 8;
  // The token of a frame that is its parent's whole text.
  static constexpr uint32_t kWholeText = UINT32_MAX;

  // The payloads are left unset: argsSeen says which were written, and a
  // frame is made for every evaluation.
  EvalFrame(const ParsedExpr* e, const EvalFrame* up, uint32_t t, const SourceText* text = nullptr)
      : expr(e), parent(up), token(t), source(text) {}

  const ParsedExpr* expr;   // nullptr for the marker at the root of a text
  const EvalFrame* parent;  // the evaluation this one is a token of; at a root marker, the one that ran the text
  uint32_t token;           // which token of the parent's text this is
  const SourceText* source = nullptr;  // at a root marker: where the text came from
  // The payload of each argument the keyword has read (bit i of argsSeen
  // says argPayload[i] is set), compared by address only.
  // Keywords read their arguments in order, so the highest bit is the
  // argument read last.
  uint32_t argsSeen = 0;
  const void* argPayload[kTrackedArguments];
};

class Interpreter : private DiagnosticLocator {
 public:
  // [keywords] are the built-in keywords, matched before any extension
  // command; they must outlive the interpreter. [input] supplies
  // `user.input` lines and the key test of `while`; it may be null (no
  // input: every read is end of input, no key is ever pressed).
  explicit Interpreter(const KeywordTable& keywords, ConsoleInput* input = nullptr);
  ~Interpreter();
  Interpreter(const Interpreter&) = delete;
  Interpreter& operator=(const Interpreter&) = delete;

  Scope globals;

  // Adds the extension command [row] after those registered before (the
  // first of a name answers; a built-in of that name always wins). The row
  // must outlive the interpreter.
  void registerExtension(const KeywordRow& row);
  // The registered extension commands, in order.
  const std::vector<const KeywordRow*>& extensions() const { return extensions_; }
  // The first extension command named [name], or nullptr.
  const KeywordRow* findExtension(std::string_view name) const;
  // The built-in keywords.
  const KeywordTable& keywords() const { return keywords_; }

  // Tidies [text] (normalizeSpacing) and evaluates it: how the shell, `file`
  // and the command line run a line or a script. [callerScope] holds the
  // caller's variables; [target] says which scope the variable keywords act
  // on. Throws ScriptError for thrown messages.
  // [source] says where the text came from (a script's lines); without it
  // the text is a line typed at the prompt.
  void evaluateLine(std::string text, Scope& callerScope, Object& result, ScopeTarget target,
                    const SourceText* source = nullptr);
  // Evaluates an expression already split (an argument or statement of a
  // running evaluation), writing into [result]; [expr] must stay alive
  // meanwhile. [token] says which token of the running evaluation's text it
  // is (for placing what it reports).
  void evaluate(const ParsedExpr& expr, Scope& callerScope, Object& result, ScopeTarget target,
                uint32_t token = EvalFrame::kWholeText);

  // The innermost evaluation in progress, or nullptr.
  const EvalFrame* currentFrame() const { return top_; }
  // Counts the texts run from the top (a line, a script, a library): a
  // warning is given once per expression in each (see Call::warn).
  uint32_t warningEpoch() const { return epoch_; }
  // The place of character [at] of the text at the root of [frame]'s chain,
  // and [frame]'s own place: "prog.dvx:3:5" (see SourceText::place).
  std::string placeOf(const EvalFrame& frame) const;
  // The note a thrown [error] carries from [frame], the innermost evaluation
  // it leaves: where, what it means there, and which statement it stops.
  void describeError(ScriptError& error, const EvalFrame& frame) const;

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

  // Where the file keywords may reach (everywhere unless a fuzzing harness
  // confines them).
  FileRules files;

  // Optional cap on evaluations (fuzzing): when non-zero, the evaluation
  // that would exceed it throws "step limit reached". resetSteps() starts a
  // new count.
  uint64_t stepLimit = 0;
  void resetSteps() { steps_ = 0; }

 private:
  // Throw the limits' messages (out of line, off the evaluator's path).
  [[noreturn]] static void tooDeep();
  [[noreturn]] static void stepLimitReached();
  // The keyword or extension command spelled [word], or nullptr.
  const KeywordRow* resolve(std::string_view word) const;
  // DiagnosticLocator: the place of the innermost evaluation, its callers.
  std::string placeNote(const std::string& what, bool withExpression) const override;
  const char* runningKeyword() const override;
  // Warns about brackets [text] (a tidied line or script) leaves unbalanced.
  void warnUnbalanced(const std::string& text, const SourceText& source) const;
  // What a keyword that nothing answers is reported with (a warning that
  // suggests the nearest keyword).
  void unknownKeyword(const Call& call) const;

  const KeywordTable& keywords_;
  std::vector<const KeywordRow*> extensions_;
  ConsoleInput* input_;
  const EvalFrame* top_ = nullptr;
  uint32_t epoch_ = 0;
  int depth_ = 0;
  size_t liveTextBytes_ = 0;
  uint64_t steps_ = 0;
};
