// The variable keywords: new (its head), delete, get, size, set.
#include <utility>

#include "builtins/keyword_tables.h"
#include "builtins/new_forms.h"
#include "interp/call.h"

static void builtinNew(Call& call) {
  const Arg kind = call.argument(1);
  const Arg nameValue = call.argument(2);
  const std::string& name = nameValue->getString();
  const std::string& kindWord = kind->getString();
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
    const Arg elementKind = call.argument(3);
    const Arg count = call.argument(4);
    const int32_t n = count->getInteger();
    createElements(call, elementKind->getString(), name, n, true);
  } else {
    createElements(call, kindWord, name, 1, false);
  }
}

static void builtinDelete(Call& call) {
  const Arg name = call.argument(1);
  if (!call.callerScope.deleteVariable(name.asVariableName())) {
    call.warnUnknownVariable(name->getString(), "delete removes nothing");
  }
}

static void builtinGet(Call& call) {
  const Arg name = call.argument(1);
  if (!call.targetScope.findVariable(name.asVariableName(), call.result)) {
    call.warnUnknownVariable(name->getString(), "get gives nothing");
  }
}

static void builtinSize(Call& call) {
  const Arg name = call.argument(1);
  const std::string sizeName = name->getString() + ".size";
  if (!call.targetScope.findVariable(sizeName, call.result)) call.warnUnknownVariable(sizeName, "size gives nothing");
}

static void builtinSet(Call& call) {
  const Arg name = call.argument(1);
  Arg value = call.argument(2);
  const ValueType type = value->type;
  const bool hasValue = value->hasPayload();
  // Only a matrix or a vector can hand its storage over; other values are
  // copied where they are.
  const bool movable = type == ValueType::Matrix || type == ValueType::Vector;
  const Scope::Assignment found = movable ? call.targetScope.assignVariable(name.asVariableName(), value.take())
                                          : call.targetScope.assignVariable(name.asVariableName(), *value);
  call.warnUnassigned(name->getString(), found, type, hasValue, "the value");
}

// The variable keywords, one row each.
constexpr KeywordRow kRows[] = {
    {.name = "new", .aliases = "", .run = builtinNew, .args = {2, kAnyCount, "ssx"},
     .group = "variables", .usage = "new KIND NAME ...",
     .summary = "Creates variables: new integer|double|complex N, new matrix M R C, new array A TYPE n (A.0 ... and A.size), new space S d (S.ket.k, S.bra.k, S.size), new system Y n S1 ... Sn. Gives no value.",
     .example = "begin (new space q 2) (get q.ket.1)",
     .printed = "matrix q.ket.1 = \n0 + 0i\t\n1 + 0i\t\n"},
    {.name = "delete", .aliases = "", .run = builtinDelete, .args = {1, 1, "n"},
     .group = "variables", .usage = "delete N",
     .summary = "Removes the variable N from the scope it is written in (the globals at the prompt). Gives no value.",
     .example = "begin (new integer x) (delete x) (get x)",
     .printed = "NULL\n"},
    {.name = "get", .aliases = "", .run = builtinGet, .args = {1, 1, "n"},
     .group = "variables", .usage = "get N",
     .summary = "Gives the value of the variable N under its name (nothing when there is none).",
     .example = "begin (new complex z) (get z)",
     .printed = "complex z = 0 + 0i\n"},
    {.name = "size", .aliases = "", .run = builtinSize, .args = {1, 1, "n"},
     .group = "variables", .usage = "size N",
     .summary = "Gives the variable N.size: a space's dimension, an array's length, a system's number of parts.",
     .example = "begin (new space q 4) (size q)",
     .printed = "integer q.size = 4\n"},
    {.name = "set", .aliases = "", .run = builtinSet, .args = {2, 2, "nx"},
     .group = "variables", .usage = "set N V",
     .summary = "Assigns V to every visible variable N of V's type. Gives no value.",
     .example = "begin (new double x) (set x 2.5) (get x)",
     .printed = "double x = 2.5\n"},
};

KeywordRows variableKeywords() { return kRows; }
