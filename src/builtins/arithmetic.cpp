// The arithmetic keywords. Each evaluates both operands before looking at
// either (so both operands' side effects always happen), then dispatches on
// the pair of type names. Nothing converts implicitly: apart from the few
// mixed pairs listed per operator, both operands must have the same type.
#include "builtins/keyword_tables.h"
#include "interp/call.h"

#include <cstdint>

#include "value/int32_math.h"
#include "value/printer.h"

namespace {

// The two operands of a binary operator, evaluated first then second.
struct Operands {
  Arg first;
  Arg second;
  const Object& a;
  const Object& b;
  explicit Operands(const Call& call) : first(call, 1), second(call, 2), a(*first), b(*second) {}
  bool sameType() const { return a.type == b.type; }
  bool both(ValueType t) const { return a.is(t) && b.is(t); }
};

void typesDontMatch(const Call& call) { call.syntaxError("; types don't match"); }

// A matrix result made by [fill] into a new matrix, adopted as the result.
template <typename Fill>
void setNewMatrix(Call& call, Fill fill) {
  Matrix m;
  fill(m);
  call.result.setMatrix(std::move(m));
}

// [out] the same part of the same column as [slice] (a column held split
// stays split, each process working on its own rows).
void keepPlace(const Matrix& slice, Matrix& out) {
  out.wholeRows = slice.wholeRows;
  out.firstRow = slice.firstRow;
}

// A copy of [m] scaled by [s]: scalars multiply matrices from the left only.
void setScaledCopy(Call& call, Complex s, const Matrix& m) {
  setNewMatrix(call, [&](Matrix& out) {
    if (!m.hasStorage()) assignMatrix(out, m);  // throws the copy's error
    // Each element written once: complexProduct(s, e), as scale forms it.
    out.setSizeForOverwrite(m.rows, m.cols);
    for (size_t k = 0; k < m.data.size(); ++k) out.data[k] = complexProduct(s, m.data[k]);
    keepPlace(m, out);
  });
}

// The matrices [a] and [b] as add and subtract read them: two columns held
// split over the processes alike are taken slice by slice (the result split
// too); anything else whole. [wrongSize] is said when the sizes differ.
template <typename Combine>
void setElementWise(Call& call, const Object& a, const Object& b, const char* wrongSize, Combine combine) {
  const Matrix& p = a.matrixSlice();
  const Matrix& q = b.matrixSlice();
  if (p.isSlice() && q.isSlice() && p.wholeRows == q.wholeRows) {
    setNewMatrix(call, [&](Matrix& out) {
      combine(p, q, out);
      keepPlace(p, out);
    });
    return;
  }
  const auto rows = [](const Matrix& m) { return m.isSlice() ? m.wholeRows : m.rows; };
  // Sizes that differ are said without gathering either.
  if (rows(p) != rows(q) || p.cols != q.cols) {
    call.syntaxError(wrongSize);
    return;
  }
  const Matrix& wholeP = a.getMatrix();
  const Matrix& wholeQ = b.getMatrix();
  setNewMatrix(call, [&](Matrix& out) { combine(wholeP, wholeQ, out); });
}

}  // namespace

static void builtinAdd(Call& call) {
  const Operands x(call);
  if (!x.sameType()) {
    // The only mismatch that shows its operands, both on one line.
    typesDontMatch(call);
    call.out() << "int1: ";
    printValue(x.a, call.out(), true, false);
    call.out() << "int2: ";
    printValue(x.b, call.out(), true, false);
    call.out() << "\n";
    return;
  }
  switch (x.a.type) {
    case ValueType::Integer:
      call.result.setInteger(wrapAdd(x.a.getInteger(), x.b.getInteger()));
      return;
    case ValueType::Double:
      call.result.setDouble(x.a.getDouble() + x.b.getDouble());
      return;
    case ValueType::Complex: {
      const Complex p = x.a.getComplex();
      const Complex q = x.b.getComplex();
      call.result.setComplex(p.re + q.re, p.im + q.im);
      return;
    }
    case ValueType::Matrix:
      setElementWise(call, x.a, x.b, "; matrix wrong size for add", addMatrix);
      return;
    default:
      call.syntaxError("; cannot add these types");
  }
}

static void builtinSubtract(Call& call) {
  const Operands x(call);
  if (!x.sameType()) {
    typesDontMatch(call);
    return;
  }
  switch (x.a.type) {
    case ValueType::Integer:
      call.result.setInteger(wrapSub(x.a.getInteger(), x.b.getInteger()));
      return;
    case ValueType::Double:
      call.result.setDouble(x.a.getDouble() - x.b.getDouble());
      return;
    case ValueType::Complex: {
      const Complex p = x.a.getComplex();
      const Complex q = x.b.getComplex();
      call.result.setComplex(p.re - q.re, p.im - q.im);
      return;
    }
    case ValueType::Matrix:
      setElementWise(call, x.a, x.b, "; matrix wrong size for subtract", subtractMatrix);
      return;
    default:
      call.syntaxError("; cannot subtract these types");
  }
}

static void builtinMult(Call& call) {
  const Operands x(call);
  if (!x.sameType()) {
    if (x.a.is(ValueType::Complex) && x.b.is(ValueType::Matrix)) {
      setScaledCopy(call, x.a.getComplex(), x.b.matrixSlice());
    } else if (x.a.is(ValueType::Double) && x.b.is(ValueType::Matrix)) {
      setScaledCopy(call, Complex{x.a.getDouble(), 0.0}, x.b.matrixSlice());
    } else if (x.a.is(ValueType::Double) && x.b.is(ValueType::Integer)) {
      call.result.setDouble(x.a.getDouble() * static_cast<double>(x.b.getInteger()));
    } else {
      typesDontMatch(call);
    }
    return;
  }
  switch (x.a.type) {
    case ValueType::Double:
      call.result.setDouble(x.a.getDouble() * x.b.getDouble());
      return;
    case ValueType::Integer:
      call.result.setInteger(wrapMul(x.a.getInteger(), x.b.getInteger()));
      return;
    case ValueType::Complex:
      call.result.setComplex(complexProduct(x.a.getComplex(), x.b.getComplex()));
      return;
    case ValueType::Matrix: {
      const Matrix& p = x.a.getMatrix();
      const Matrix& q = x.b.getMatrix();
      if (p.cols != q.rows) {
        call.syntaxError("; matrix wrong size for mult");
        call.out() << "A is " << p.rows << "x" << p.cols << "\n"
                   << "B is " << q.rows << "x" << q.cols << "\n";
        return;
      }
      // A tall ket times a wide bra can ask for far more than memory holds.
      if (!call.fitsElementBudget(p.rows, q.cols)) return;
      setNewMatrix(call, [&](Matrix& out) { multiply(p, q, out); });
      return;
    }
    default:
      call.syntaxError("; cannot multiply these types");
  }
}

static void builtinDiv(Call& call) {
  const Operands x(call);
  if (!x.sameType()) {
    typesDontMatch(call);
    return;
  }
  if (x.a.is(ValueType::Double)) {
    call.result.setDouble(x.a.getDouble() / x.b.getDouble());
  } else if (x.a.is(ValueType::Integer)) {
    const int32_t divisor = x.b.getInteger();
    if (divisor == 0) {
      call.syntaxError("; division by zero");
      return;
    }
    call.result.setInteger(wrapDiv(x.a.getInteger(), divisor));
  }
  // Any other pair of one type (complexes and matrices included) is a
  // quotient nobody defined: silently nothing.
}

static void builtinDivD(Call& call) {
  const Operands x(call);
  if (!x.sameType()) {
    if (x.a.is(ValueType::Double) && x.b.is(ValueType::Integer)) {
      call.result.setDouble(x.a.getDouble() / static_cast<double>(x.b.getInteger()));
    } else {
      typesDontMatch(call);
    }
    return;
  }
  if (x.a.is(ValueType::Integer)) {
    call.result.setDouble(static_cast<double>(x.a.getInteger()) / static_cast<double>(x.b.getInteger()));
  } else if (x.a.is(ValueType::Double)) {
    call.result.setDouble(x.a.getDouble() / x.b.getDouble());
  } else {
    call.syntaxError("; cannot divide these types");
  }
}

static void builtinMod(Call& call) {
  const Operands x(call);
  if (!x.sameType()) {
    typesDontMatch(call);
    return;
  }
  if (!x.a.is(ValueType::Integer) || x.b.getInteger() == 0) {
    call.syntaxError("; cannot mod these types");
    return;
  }
  const int32_t divisor = x.b.getInteger();
  int64_t r = wrapRem(x.a.getInteger(), divisor);
  // Shifted by |divisor| so the result always lies in 0 … |divisor| - 1,
  // whatever the signs; 64 bits hold |-2^31|.
  if (r < 0) r += divisor < 0 ? -int64_t{divisor} : int64_t{divisor};
  call.result.setInteger(static_cast<int32_t>(r));
}

static void builtinAnd(Call& call) {
  const Operands x(call);
  if (!x.sameType()) {
    typesDontMatch(call);
    return;
  }
  if (!x.a.is(ValueType::Integer)) {
    call.syntaxError("; cannot 'and' these types");
    return;
  }
  call.result.setInteger(x.a.getInteger() & x.b.getInteger());
}

// The arithmetic keywords, one row each.
constexpr KeywordRow kRows[] = {
    {.name = "add", .aliases = "+", .run = builtinAdd, .args = {2, 2, "xx"},
     .group = "arithmetic", .usage = "add A B",
     .summary = "A + B for two integers (wrapping), doubles, complex numbers or matrices of one shape; the result has their type.",
     .example = "add 2 3",
     .printed = "integer temp = 5\n"},
    {.name = "subtract", .aliases = "-", .run = builtinSubtract, .args = {2, 2, "xx"},
     .group = "arithmetic", .usage = "subtract A B",
     .summary = "A - B, with the types of add.",
     .example = "subtract 5 7",
     .printed = "integer temp = -2\n"},
    {.name = "mult", .aliases = "*", .run = builtinMult, .args = {2, 2, "xx"},
     .group = "arithmetic", .usage = "mult A B",
     .summary = "A times B: two integers, doubles or complex numbers; the matrix product of two matrices; a double or complex A scales a matrix B.",
     .example = "mult 2.5 4",
     .printed = "double temp = 10\n"},
    {.name = "div", .aliases = "/", .run = builtinDiv, .args = {2, 2, "xx"},
     .group = "arithmetic", .usage = "div A B",
     .summary = "A / B in the operands' own type: integers truncate toward zero, doubles follow floating point.",
     .example = "div -7 2",
     .printed = "integer temp = -3\n"},
    {.name = "div_d", .aliases = "", .run = builtinDivD, .args = {2, 2, "xx"},
     .group = "arithmetic", .usage = "div_d A B",
     .summary = "A / B as a double, for two integers or a double and an integer; div_d n 1 turns an integer into a double.",
     .example = "div_d 7 2",
     .printed = "double temp = 3.5\n"},
    {.name = "mod", .aliases = "", .run = builtinMod, .args = {2, 2, "ii"},
     .group = "arithmetic", .usage = "mod A B",
     .summary = "A mod B for two integers; for a positive B the result lies in 0 ... B-1.",
     .example = "mod -7 3",
     .printed = "integer temp = 2\n"},
    {.name = "and", .aliases = "", .run = builtinAnd, .args = {2, 2, "ii"},
     .group = "arithmetic", .usage = "and A B",
     .summary = "The bitwise and of two integers (the conjunction of two comparisons).",
     .example = "and 6 3",
     .printed = "integer temp = 2\n"},
};

KeywordRows arithmeticKeywords() { return kRows; }
