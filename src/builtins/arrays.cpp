// Arrays (families of variables named A.0, A.1, ... with A.size) and access
// to matrix elements.
#include "builtins/keyword_tables.h"
#include "builtins/new_forms.h"
#include "interp/call.h"
#include "runtime/script_error.h"

namespace {

// Every element is a variable of its own, each an entry of its scope and of
// the scope's index by name: a million is far beyond any useful array and
// still cheap to hold.
#ifdef DOVEX_FUZZING
constexpr int32_t kMaxArrayElements = int32_t{1} << 12;  // fuzzing: correct but slow beyond
#else
constexpr int32_t kMaxArrayElements = int32_t{1} << 20;
#endif

}  // namespace

void createElements(Call& call, const std::string& kindWord, const std::string& name, int32_t count, bool isArray) {
  if (!call.sizeFits(count <= kMaxArrayElements)) return;
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

static void builtinIndex(Call& call) {
  const Arg stem = call.argument(1);
  std::string name = stem->getString();
  for (size_t i = 2; i < call.tokenCount(); ++i) {
    const Arg index = call.argument(i);
    if (index->is(ValueType::Integer)) {
      name += '.';
      name += decimal(index->getInteger());
    } else if (index->is(ValueType::String)) {
      // An empty or blank-led string adds no component at all.
      const std::string& text = index->getString();
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

static void builtinGetIndex(Call& call) {
  const Arg stem = call.argument(1);
  const Arg index = call.argument(2);
  if (!stem->is(ValueType::String) || !index->is(ValueType::Integer)) {
    call.syntaxError("");
    return;
  }
  const std::string name = stem->getString() + "." + decimal(index->getInteger());
  if (!call.targetScope.findVariable(name, call.result)) call.warnUnknownVariable(name, "get_index gives nothing");
}

static void builtinVector(Call& call) {
  // The arguments are counted, never evaluated.
  call.out() << "create vector of size " << call.tokenCount() - 1 << "\n";
}

static void builtinRowSize(Call& call) {
  const Arg m = call.argument(1);
  call.result.setInteger(m->getMatrix().rows);
}

static void builtinColSize(Call& call) {
  const Arg m = call.argument(1);
  call.result.setInteger(m->getMatrix().cols);
}

namespace {

// The element accessors report every thrown message themselves and carry on:
// "Syntax error '<text>': <message>".
template <typename Body>
void guarded(const Call& call, Body body) {
  try {
    body();
  } catch (ScriptError& e) {
    call.report() << "Syntax error '" << call.text << "': " << e.what() << "\n";
    call.noteCaught(e);
  }
}

}  // namespace

static void builtinGetElement(Call& call) {
  const Arg m = call.argument(1);
  const Arg row = call.argument(2);
  const Arg col = call.argument(3);
  guarded(call, [&] {
    const Matrix& matrix = m->getMatrix();
    const int32_t j = col->getInteger();
    const int32_t i = row->getInteger();
    call.result.setComplex(matrix(i, j));
  });
}

static void builtinSetElement(Call& call) {
  const Arg m = call.argument(1);
  const Arg row = call.argument(2);
  const Arg col = call.argument(3);
  const Arg value = call.argument(4);
  guarded(call, [&] {
    const Matrix& source = m->getMatrix();
    if (!call.fitsElementBudget(source.rows, source.cols)) return;
    // The variable behind the first argument is never written: the result
    // is a changed copy, stored back only by an explicit `set`.
    Matrix copy;
    assignMatrix(copy, source);
    const Complex element = value->is(ValueType::Double) ? Complex{value->getDouble(), 0.0} : value->getComplex();
    const int32_t j = col->getInteger();
    const int32_t i = row->getInteger();
    copy.setElement(i, j, element);
    call.result.setMatrix(std::move(copy));
  });
}

// Arrays and element access, one row each.
constexpr KeywordRow kRows[] = {
    {.name = "index", .aliases = "", .run = builtinIndex, .args = {1, kAnyCount, "sx"},
     .group = "arrays", .usage = "index STEM I1 I2 ...",
     .summary = "The variable name STEM.I1.I2... as a string, from integer or string indices.",
     .example = "index a 1 2",
     .printed = "string temp = a.1.2\n"},
    {.name = "get_index", .aliases = "", .run = builtinGetIndex, .args = {2, 2, "si"},
     .group = "arrays", .usage = "get_index STEM I",
     .summary = "The variable STEM.I, for a string STEM and an integer I.",
     .example = "begin (new array a integer 3) (set a.2 5) (get_index a 2)",
     .printed = "integer a.2 = 5\n"},
    {.name = "rowSize", .aliases = "", .run = builtinRowSize, .args = {1, 1, "m"},
     .group = "arrays", .usage = "rowSize M",
     .summary = "The number of rows of the matrix M, as an integer.",
     .example = "rowSize (matrix 3 2 zero)",
     .printed = "integer temp = 3\n"},
    {.name = "colSize", .aliases = "", .run = builtinColSize, .args = {1, 1, "m"},
     .group = "arrays", .usage = "colSize M",
     .summary = "The number of columns of the matrix M, as an integer.",
     .example = "colSize (matrix 3 2 zero)",
     .printed = "integer temp = 2\n"},
    {.name = "get_element", .aliases = "", .run = builtinGetElement, .args = {3, 3, "mii"},
     .group = "arrays", .usage = "get_element M I J",
     .summary = "The element in row I, column J of the matrix M (0-based integers), as a complex number.",
     .example = "get_element (matrix 2 2 ident) 1 1",
     .printed = "complex temp = 1 + 0i\n"},
    {.name = "set_element", .aliases = "", .run = builtinSetElement, .args = {4, 4, "miix"},
     .group = "arrays", .usage = "set_element M I J V",
     .summary = "A copy of the matrix M with the element in row I, column J replaced by the complex or double V.",
     .example = "set_element (matrix 2 2 zero) 0 1 2.5",
     .printed = "matrix temp = \n0 + 0i\t2.5 + 0i\t\n0 + 0i\t0 + 0i\t\n"},
    {.name = "vector", .aliases = "", .run = builtinVector, .args = {0, kAnyCount, "-"},
     .group = "arrays", .usage = "vector ...",
     .summary = "Prints how many arguments it has, without evaluating them. Gives no value.",
     .example = "vector 1 2 3",
     .printed = "create vector of size 3\nNULL\n"},
};

KeywordRows arrayKeywords() { return kRows; }
