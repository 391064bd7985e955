// Gates and the matrix constructor.
#include <algorithm>
#include <cmath>
#include <string>
#include <utility>

#include "builtins/keyword_tables.h"
#include "interp/call.h"
#include "quantum/qubit_bits.h"
#include "runtime/break_flag.h"
#include "runtime/script_error.h"

namespace {

// 2π as the Fourier fill uses it.
constexpr double kTwoPi = 6.283185307179586;

// `gate` opens its messages with a capital E, unlike the other keywords.
void gateError(const Call& call, const char* reason) {
  call.report() << "Syntax Error '" << call.text << "'; " << reason << "\n";
}

void fillFourier(Matrix& m) {
  const Complex omega = complexFromAngle(kTwoPi / m.rows);
  BreakPoll poll;
  for (int32_t r = 0; r < m.rows; ++r) {
    poll.throwAfter(static_cast<uint64_t>(m.cols));
    for (int32_t c = 0; c < m.cols; ++c) m.setElement(r, c, complexPower(omega, r * c));
  }
  m.scale(Complex{1.0 / std::sqrt(static_cast<double>(m.rows)), 0.0});
}

// Reads the double variable [name] into [slot] as `get` would, echoing the
// name first. Every read starts from an empty slot, so a missing variable is
// reported by the getter instead of silently reusing the previous value.
double readRotationVariable(const Call& call, const std::string& name) {
  Object slot;
  call.targetScope.findVariable(name, slot);
  call.out() << name << "\n";
  return slot.getDouble();
}

// The product of two-level rotations whose phases and angles are the script
// variables P.q, A.q and X.0, multiplied into [m] (already the identity).
void fillRotations(const Call& call, Matrix& m, const Object& angles, const Object& phases, const Object& cross) {
  const int32_t n = m.rows;
  Matrix rotation;
  rotation.setSize(n, n);
  Matrix accumulated;
  Matrix work;
  int32_t counter = 0;
  // Rotations of finite angles keep every matrix here finite (their entries
  // are bounded by 1), so the products may skip the zero entries of their
  // right factor: most of each rotation and of each accumulated product.
  bool finite = true;
  auto product = [&](const Matrix& a, const Matrix& b) {
    if (finite) {
      multiplyFiniteBySparse(a, b, work);
    } else {
      multiply(a, b, work);
    }
  };
  for (int32_t i = 1; i < n; ++i) {
    accumulated.setSize(n, n);
    accumulated.setIdentity();
    for (int32_t s = i; s >= 1; --s) {
      const int32_t k = s - 1;
      const double alpha = readRotationVariable(call, phases.getString() + "." + decimal(counter));
      const double theta = readRotationVariable(call, angles.getString() + "." + decimal(counter));
      const double chi = s == 1 ? readRotationVariable(call, cross.getString() + ".0") : 0.0;
      ++counter;
      finite = finite && std::isfinite(alpha) && std::isfinite(theta) && std::isfinite(chi);
      auto times = [](double factor, Complex z) { return Complex{factor * z.re, factor * z.im}; };
      rotation.setIdentity();
      rotation.setElement(k, k, times(std::cos(theta), complexFromAngle(alpha)));
      rotation.setElement(k, i, times(std::sin(theta), complexFromAngle(chi)));
      rotation.setElement(i, k, times(-std::sin(theta), complexFromAngle(-chi)));
      rotation.setElement(i, i, times(std::cos(theta), complexFromAngle(-alpha)));
      product(accumulated, rotation);
      assignMatrix(accumulated, work);
    }
    product(m, accumulated);
    assignMatrix(m, work);
  }
}

// Applies the fill word [word] to [m]; false when [word] is none.
bool applyFillWord(Call& call, const std::string& word, Matrix& m) {
  if (word == "ident") {
    m.setIdentity();
  } else if (word == "zero") {
    m.setZero();
  } else if (word == "u_random") {
    const Arg angles = call.argument(4);
    const Arg phases = call.argument(5);
    const Arg cross = call.argument(6);
    m.setIdentity();
    if (m.rows != m.cols) {
      call.syntaxError("; u_random needs a square matrix");
      return true;
    }
#ifdef DOVEX_FUZZING
    // The fill takes time growing with the fifth power of the side: correct
    // but slow, so a fuzzing build keeps it small.
    if (!call.sizeFits(m.rows <= 24)) return true;
#endif
    fillRotations(call, m, *angles, *phases, *cross);
  } else if (word == "UFT" || word == "QFT") {
    fillFourier(m);
  } else {
    return false;
  }
  return true;
}

}  // namespace

static void builtinGate(Call& call) {
  const Arg nameValue = call.argument(1);
  const Arg qubitsValue = call.argument(2);
  const int32_t n = qubitsValue->getInteger();
  if (n <= 0) {
    gateError(call, "dimSize <= 0");
    return;
  }
  // 2^n × 2^n elements: n = 13 is the largest register within the budget.
  const int64_t size = n < 31 ? int64_t{1} << n : kMaxMatrixElements + 1;
  if (!fitsElementBudget(size, size)) {
    gateError(call, "dimSize too large");
    return;
  }
  const int32_t side = static_cast<int32_t>(size);
  Matrix zero;
  zero.setSize(side, side);
  // The result holds the matrix from here on, whatever happens next.
  Matrix& m = call.result.setMatrix(std::move(zero));
  if (nameValue->getString() != "cnot") return;

  const Arg controlValue = call.argument(3);
  const Arg targetValue = call.argument(4);
  const int32_t control = qubitBit(controlValue->getInteger());
  const int32_t target = qubitBit(targetValue->getInteger());
  if (control == target) {
    gateError(call, "action = control");
    return;
  }
  BreakPoll poll;
  for (int64_t k = 0; k < size; ++k) {
    poll.throwAfter(1);
    int64_t r = k;
    if (rowHasBit(static_cast<uint64_t>(k), control)) {
      // Flipping a target bit beyond the register moves the image out of it.
      if (target >= 31) continue;
      r = rowHasBit(static_cast<uint64_t>(k), target) ? k - (int64_t{1} << target) : k + (int64_t{1} << target);
    }
    if (r >= 0 && r < size) m.setElement(static_cast<int32_t>(r), static_cast<int32_t>(k), Complex{1.0, 0.0});
  }
}

static void builtinMatrix(Call& call) {
  const Arg rowsValue = call.argument(1);
  const Arg colsValue = call.argument(2);
  const int32_t rows = rowsValue->getInteger();
  const int32_t cols = colsValue->getInteger();
  if (!call.fitsElementBudget(rows, cols)) return;
  // The result holds the matrix before any element is read: an element error
  // leaves the entries stored so far in place.
  Matrix& m = call.result.setMatrix(rows, cols);
  if (!m.hasStorage()) return;

  size_t tokenIndex = 3;
  for (int32_t i = 0; i < rows; ++i) {
    for (int32_t j = 0; j < cols; ++j) {
      const Arg element = call.argument(tokenIndex);
      if (i == 0 && j == 0 && element->is(ValueType::String) && applyFillWord(call, element->getString(), m)) return;
      Complex value;
      try {
        value = element->getComplex();
      } catch (ScriptError& e) {
        call.report() << e.what() << "\n";
        call.noteCaught(e);
        return;
      }
      m.setElement(i, j, value);
      ++tokenIndex;
    }
  }
}

// Gates and the matrix constructor, one row each.
constexpr KeywordRow kRows[] = {
    {.name = "gate", .aliases = "", .run = builtinGate, .args = {2, 4, "siii"},
     .group = "quantum", .usage = "gate cnot N C T",
     .summary = "The 2^N x 2^N controlled NOT with control qubit C and target qubit T (qubit j is bit j of the basis number).",
     .example = "gate cnot 2 1 0",
     .printed = "matrix temp = \n1 + 0i\t0 + 0i\t0 + 0i\t0 + 0i\t\n0 + 0i\t1 + 0i\t0 + 0i\t0 + 0i\t\n0 + 0i\t0 + 0i\t0 + 0i\t1 + 0i\t\n0 + 0i\t0 + 0i\t1 + 0i\t0 + 0i\t\n"},
    {.name = "matrix", .aliases = "", .run = builtinMatrix, .args = {2, kAnyCount, "iix"},
     .group = "quantum", .usage = "matrix R C E00 E01 ...",
     .summary = "An R x C matrix from R*C complex elements row by row, or from one fill word: ident, zero, QFT (the Hadamard gate for 2 x 2), UFT, u_random A P X.",
     .example = "matrix 2 2 ident",
     .printed = "matrix temp = \n1 + 0i\t0 + 0i\t\n0 + 0i\t1 + 0i\t\n"},
};

KeywordRows gateKeywords() { return kRows; }
