// The control forms: global, begin, while, nop, if.
#include "builtins/keyword_tables.h"
#include "interp/call.h"
#include "runtime/script_error.h"

static void builtinGlobal(Call& call) { call.underGlobals(1, call.result); }

static void builtinBegin(Call& call) {
  for (size_t k = 1; k < call.tokenCount(); ++k) call.statement(k, call.result);
}

namespace {

// The user's way out of a loop: a key waiting at the console. The key is left
// unread, so every enclosing loop sees it too and the whole line stops.
void checkUserBreak(const Call& call) {
  ConsoleInput* input = call.interp.input();
  if (input && input->keyPressed()) throw ScriptError("Error: User break.");
}

}  // namespace

static void builtinWhile(Call& call) {
  checkUserBreak(call);
  for (;;) {
    Object scratch;
    call.statement(1, scratch);
    if (!scratch.is(ValueType::Integer) || !scratch.hasPayload()) {
      call.report() << "Syntax error; condition of while loop not integer\n";
      return;
    }
    if (scratch.getInteger() == 0) return;
    for (size_t k = 2; k < call.tokenCount(); ++k) call.statement(k, scratch);
    checkUserBreak(call);
  }
}

static void builtinNop(Call&) {}

static void builtinIf(Call& call) {
  const Arg condition = call.argument(1);
  try {
    const int32_t value = condition->getInteger();
    call.argumentInto(value != 0 ? 2 : 3, call.result);
  } catch (ScriptError& e) {
    call.syntaxError(std::string(": ") + e.what());
    call.noteCaught(e);
  }
}

// The control forms, one row each.
constexpr KeywordRow kRows[] = {
    {.name = "global", .aliases = "", .run = builtinGlobal, .args = {1, 1, "x"},
     .group = "control", .usage = "global X",
     .summary = "Evaluates X with the global variables as the target of every variable operation: new creates globals. Gives X's value.",
     .example = "global (new integer count)",
     .printed = "NULL\n"},
    {.name = "begin", .aliases = "", .run = builtinBegin, .args = {0, kAnyCount, "t"},
     .group = "control", .usage = "begin S1 S2 ...",
     .summary = "Evaluates the statements in order; variables they create live until the begin ends. Gives the value of the last statement that produced one.",
     .example = "begin (new integer i) (set i 4) (get i)",
     .printed = "integer i = 4\n"},
    {.name = "while", .aliases = "", .run = builtinWhile, .args = {1, kAnyCount, "it"},
     .group = "control", .usage = "while C S1 S2 ...",
     .summary = "Evaluates the statements while the integer C is non-zero; a key press or Ctrl-C breaks the loop. Gives no value.",
     .example = "begin (new integer i) (while (< (get i) 2) (print (get i)) (set i (add (get i) 1)))",
     .printed = "integer i = 0\ninteger i = 1\nNULL\n"},
    {.name = "nop", .aliases = "NOP", .run = builtinNop, .args = {0, kAnyCount, "-"},
     .group = "control", .usage = "nop X",
     .summary = "Does nothing; its arguments are not evaluated. Gives no value.",
     .example = "nop 0",
     .printed = "NULL\n"},
    {.name = "if", .aliases = "", .run = builtinIf, .args = {1, 3, "iee"},
     .group = "control", .usage = "if C T E",
     .summary = "C must be an integer: gives T's value when it is non-zero, else E's (the empty string without E). Only the chosen branch runs; a thrown message inside it is reported as a syntax error.",
     .example = "if (< 1 2) yes no",
     .printed = "string temp = yes\n"},
};

KeywordRows controlKeywords() { return kRows; }
