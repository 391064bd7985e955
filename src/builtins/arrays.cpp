// Arrays (families of variables named A.0, A.1, ... with A.size) and access
// to matrix elements.
#include "builtins/builtins.h"
#include "value/error.h"

namespace {

// Every element is a variable of its own, searched linearly: a million is
// far beyond any useful array and still cheap to hold.
#ifdef DOVEX_FUZZING
constexpr int32_t kMaxArrayElements = int32_t{1} << 12;  // fuzzing: correct but slow beyond
#else
constexpr int32_t kMaxArrayElements = int32_t{1} << 20;
#endif

}  // namespace

void createElements(Call& call, const std::string& kindWord, const std::string& name, int32_t count, bool isArray) {
  if (count > kMaxArrayElements) {
    call.syntaxError("; size too large");
    return;
  }
  const bool elementKind = kindWord == "integer" || kindWord == "double" || kindWord == "complex" || kindWord == "matrix";
  if (count > 1 && elementKind) call.targetScope.reserve(static_cast<size_t>(count) + 1);
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

void builtinIndex(Call& call) {
  const Object stem = call.arg(1);
  std::string name = stem.getString();
  for (size_t i = 2; i < call.tokenCount(); ++i) {
    const Object index = call.arg(i);
    if (index.is(ValueType::Integer)) {
      name += '.';
      name += decimal(index.getInteger());
    } else if (index.is(ValueType::String)) {
      // An empty or blank-led string adds no component at all.
      const std::string& text = index.getString();
      if (!text.empty() && text[0] != ' ') {
        name += '.';
        name += text;
      }
    } else {
      call.syntaxError("; index not integer or string.");
      return;
    }
  }
  call.result.setString(std::move(name));
}

void builtinGetIndex(Call& call) {
  const Object stem = call.arg(1);
  const Object index = call.arg(2);
  if (!stem.is(ValueType::String) || !index.is(ValueType::Integer)) {
    call.syntaxError("");
    return;
  }
  call.targetScope.findVariable(stem.getString() + "." + decimal(index.getInteger()), call.result);
}

void builtinVector(Call& call) {
  // The arguments are counted, never evaluated.
  call.out() << "create vector of size " << call.tokenCount() - 1 << "\n";
}

void builtinRowSize(Call& call) {
  const Object m = call.arg(1);
  call.result.setInteger(m.getMatrix().rows);
}

void builtinColSize(Call& call) {
  const Object m = call.arg(1);
  call.result.setInteger(m.getMatrix().cols);
}

namespace {

// The element accessors report every thrown message themselves and carry on:
// "Syntax error '<text>': <message>".
template <typename Body>
void guarded(const Call& call, Body body) {
  try {
    body();
  } catch (const ScriptError& e) {
    call.report() << "Syntax error '" << call.text << "': " << e.what() << "\n";
  }
}

}  // namespace

void builtinGetElement(Call& call) {
  const Object m = call.arg(1);
  const Object row = call.arg(2);
  const Object col = call.arg(3);
  guarded(call, [&] {
    const Matrix& matrix = m.getMatrix();
    const int32_t j = col.getInteger();
    const int32_t i = row.getInteger();
    call.result.setComplex(matrix(i, j));
  });
}

void builtinSetElement(Call& call) {
  const Object m = call.arg(1);
  const Object row = call.arg(2);
  const Object col = call.arg(3);
  const Object value = call.arg(4);
  guarded(call, [&] {
    const Matrix& source = m.getMatrix();
    if (!fitsElementBudget(source.rows, source.cols)) {
      call.syntaxError("; size too large");
      return;
    }
    // The variable behind the first argument is never written: the result
    // is a changed copy, stored back only by an explicit `set`.
    Matrix copy;
    assignMatrix(copy, source);
    const Complex element = value.is(ValueType::Double) ? Complex{value.getDouble(), 0.0} : value.getComplex();
    const int32_t j = col.getInteger();
    const int32_t i = row.getInteger();
    copy.setElement(i, j, element);
    call.result.setMatrix(std::move(copy));
  });
}
