// Arrays (families of variables named A.0, A.1, ... with A.size) and access
// to matrix elements.
#include "builtins/builtins.h"
#include "value/error.h"

void createElements(Call& call, const std::string& kindWord, const std::string& name, int32_t count, bool isArray) {
  if (isArray) call.targetScope.addVariable(Object(name + ".size", ValueType::Integer, makePayload(count)));
  for (int32_t i = 0; i < count; ++i) {
    const std::string elementName = count == 1 ? name : name + "." + decimal(i);
    if (kindWord == "integer") {
      call.targetScope.addVariable(Object(elementName, ValueType::Integer, makePayload(int32_t{0})));
    } else if (kindWord == "double") {
      call.targetScope.addVariable(Object(elementName, ValueType::Double, makePayload(0.0)));
    } else if (kindWord == "complex") {
      call.targetScope.addVariable(Object(elementName, ValueType::Complex, makePayload(Complex{})));
    } else if (kindWord == "matrix") {
      Matrix m;
      m.setSize(1, 1);
      call.targetScope.addVariable(Object(elementName, ValueType::Matrix, makePayload(std::move(m))));
    } else {
      call.syntaxError("; illegal type (or cannot be used as array)");
      throw ScriptError("Error.");
    }
  }
}

void builtinIndex(Call&) {}
void builtinGetIndex(Call&) {}
void builtinVector(Call&) {}
void builtinRowSize(Call&) {}
void builtinColSize(Call&) {}
void builtinGetElement(Call&) {}
void builtinSetElement(Call&) {}
