// The variable keywords: new (its head), delete, get, size, set.
#include <utility>

#include "builtins/builtins.h"
#include "builtins/core_keywords.h"

void builtinNew(Call& call) {
  const Object kind = call.arg(1);
  const Object nameValue = call.arg(2);
  const std::string& name = nameValue.getString();
  const std::string& kindWord = kind.getString();
  // temp is the name of every anonymous result: a variable of that name
  // would be indistinguishable from one.
  if (name == "temp") {
    call.report() << "Illegal name 'temp'; on line '" << call.text << "'\n";
    return;
  }
  if (kindWord == "space") {
    newSpace(call, name);
  } else if (kindWord == "system") {
    newSystem(call, name);
  } else if (kindWord == "matrix") {
    newMatrix(call, name);
  } else if (kindWord == "array") {
    const Object elementKind = call.arg(3);
    const Object count = call.arg(4);
    const int32_t n = count.getInteger();
    createElements(call, elementKind.getString(), name, n, true);
  } else {
    createElements(call, kindWord, name, 1, false);
  }
}

void builtinDelete(Call& call) {
  const ArgValue name(call, 1);
  call.callerScope.deleteVariable(name.asVariableName());
}

void builtinGet(Call& call) {
  const ArgValue name(call, 1);
  call.targetScope.findVariable(name.asVariableName(), call.result);
}

void builtinSize(Call& call) {
  const ArgValue name(call, 1);
  call.targetScope.findVariable(name->getString() + ".size", call.result);
}

void builtinSet(Call& call) {
  const ArgValue name(call, 1);
  Object value = call.arg(2);
  call.targetScope.assignVariable(name.asVariableName(), std::move(value));
}
