// The control forms: global, begin, while, nop, if.
#include "builtins/core_keywords.h"
#include "value/error.h"

void builtinGlobal(Call& call) { call.evaluateToken(1, call.result, true, true); }

void builtinBegin(Call& call) {
  for (size_t k = 1; k < call.tokenCount(); ++k) call.evalStatement(k, call.result);
}

namespace {

// The user's way out of a loop: a key waiting at the console. The key is left
// unread, so every enclosing loop sees it too and the whole line stops.
void checkUserBreak(const Call& call) {
  ConsoleInput* input = call.interp.input();
  if (input && input->keyPressed()) throw ScriptError("Error: User break.");
}

}  // namespace

void builtinWhile(Call& call) {
  checkUserBreak(call);
  for (;;) {
    Object scratch;
    call.evalStatement(1, scratch);
    if (!scratch.is(ValueType::Integer) || !scratch.hasPayload()) {
      call.report() << "Syntax error; condition of while loop not integer\n";
      return;
    }
    if (scratch.getInteger() == 0) return;
    for (size_t k = 2; k < call.tokenCount(); ++k) call.evalStatement(k, scratch);
    checkUserBreak(call);
  }
}

void builtinNop(Call&) {}

void builtinIf(Call& call) {
  const Object condition = call.arg(1);
  try {
    const int32_t value = condition.getInteger();
    call.evalArg(value != 0 ? 2 : 3, call.result);
  } catch (const ScriptError& e) {
    call.syntaxError(std::string(": ") + e.what());
  }
}
