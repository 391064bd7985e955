// Scalar mathematics and random numbers. Every keyword evaluates all its
// arguments, left to right, before it checks any of them. Random draws come
// from the C library generator, seeded once at start-up and shared with the
// measurements; each random keyword draws exactly one number.
#include <cmath>
#include <cstdint>
#include <cstdlib>

#include "builtins/keyword_tables.h"
#include "interp/call.h"
#include "runtime/break_flag.h"
#include "runtime/random_draws.h"
#include "runtime/script_error.h"
#include "value/int32_math.h"
#include "value/number_text.h"

namespace {

constexpr double kTwoPi = 6.283185307179586;
constexpr int kRandomIntBuckets = 100;  // the whole percentages a draw picks from

// An integer argument converted, anything else read as a double (inv, sqrt).
double integerOrDouble(const Object& x) {
  return x.is(ValueType::Integer) ? static_cast<double>(x.getInteger()) : x.getDouble();
}

// One step of powm's sequence: the wrapped product, then the remainder.
int32_t powmStep(int32_t a, int32_t r, int32_t m) { return wrapRem(wrapMul(a, r), m); }

// r starts at 1 and, [e] times, becomes (a × r) mod m with a wrapping product
// and a truncating remainder, for [e] > 0 and [m] ≠ 0. Square-and-multiply
// would give other results (the wrap and the remainder do not commute), so
// the sequence itself is followed; since each value depends only on the one
// before, it is eventually periodic, and once a cycle is seen (Brent's
// method, constant memory) the remaining steps are reduced modulo its length.
int32_t powmSequence(int32_t a, int32_t e, int32_t m) {
  int32_t r = 1;
  int32_t tortoise = r;
  int64_t power = 1;
  int64_t lambda = 0;
  BreakPoll poll;
  for (int64_t step = 0; step < e;) {
    poll.throwAfter(1);
    r = powmStep(a, r, m);
    ++step;
    ++lambda;
    if (r == tortoise) {
      // From the tortoise's step on the sequence repeats every lambda steps.
      for (int64_t rest = (e - step) % lambda; rest > 0; --rest) {
        poll.throwAfter(1);
        r = powmStep(a, r, m);
      }
      return r;
    }
    if (lambda == power) {
      tortoise = r;
      power *= 2;
      lambda = 0;
    }
  }
  return r;
}

// The integer power by repeated multiplication modulo 2^32. Multiplication
// modulo 2^32 is associative, so squaring gives the same bits as b steps.
int32_t wrappingPower(int32_t base, int32_t exponent) {
  uint32_t result = 1;
  uint32_t factor = static_cast<uint32_t>(base);
  for (uint32_t n = exponent > 0 ? static_cast<uint32_t>(exponent) : 0; n > 0; n >>= 1) {
    if (n & 1u) result *= factor;
    factor *= factor;
  }
  return static_cast<int32_t>(result);
}

}  // namespace

static void builtinRootOfUnity(Call& call) {
  const Arg n = call.argument(1);
  // n = 0 gives an infinite angle and NaN parts, like any other division.
  call.result.setComplex(complexFromAngle(kTwoPi / static_cast<double>(n->getInteger())));
}

static void builtinRand(Call& call) {
  const Arg range = call.argument(1);
  const int32_t n = range->getInteger();
  if (n <= 0) {
    call.report() << "Syntax Error '" << call.text << "'; maxRange <= 0\n";
    return;
  }
  call.result.setInteger(drawBelow(n));
}

static void builtinRandf(Call& call) {
  const Arg loValue = call.argument(1);
  const Arg hiValue = call.argument(2);
  const double lo = loValue->getDouble();
  const double hi = hiValue->getDouble();
  const double q = drawOnGrid();
  call.result.setDouble(lo + (hi - lo) * q);
}

static void builtinRandomInt(Call& call) {
  const Arg loValue = call.argument(1);
  const Arg hiValue = call.argument(2);
  // In 64 bits the width hi - lo + 1 never wraps, so the result stays in
  // lo … hi for every pair of bounds, negative ones included.
  const int64_t lo = loValue->getInteger();
  const int64_t hi = hiValue->getInteger();
  if (hi < lo) {
    call.syntaxError("; large < small");
    throw ScriptError("Syntax error.");
  }
  const int64_t k = drawWholePercent();
  call.result.setInteger(static_cast<int32_t>(lo + k * (hi - lo + 1) / kRandomIntBuckets));
}

static void builtinCast(Call& call) {
  const Arg target = call.argument(1);
  const Arg value = call.argument(2);
  if (target->getString() != "complex") return;
  if (!value->is(ValueType::Double)) {
    call.syntaxError("; cast argument type not recognized.");
    return;
  }
  call.result.setComplex(value->getDouble(), 0.0);
}

static void builtinNeg(Call& call) {
  const Arg v = call.argument(1);
  if (v->is(ValueType::Integer)) {
    call.result.setInteger(wrapNeg(v->getInteger()));
  } else if (v->is(ValueType::Double)) {
    call.result.setDouble(v->getDouble() * -1.0);
  } else if (v->is(ValueType::Complex)) {
    const Complex z = v->getComplex();
    call.result.setComplex(z.re * -1.0, z.im * -1.0);
  }
}

static void builtinSin(Call& call) {
  const Arg x = call.argument(1);
  call.result.setDouble(std::sin(x->getDouble()));
}

static void builtinCos(Call& call) {
  const Arg x = call.argument(1);
  call.result.setDouble(std::cos(x->getDouble()));
}

static void builtinInv(Call& call) {
  const Arg x = call.argument(1);
  call.result.setDouble(1.0 / integerOrDouble(*x));
}

static void builtinSqrt(Call& call) {
  const Arg x = call.argument(1);
  call.result.setDouble(std::sqrt(integerOrDouble(*x)));
}

static void builtinPow2(Call& call) {
  const Arg nValue = call.argument(1);
  const int32_t n = nValue->getInteger();
  // Doubling 1 n times in 32 bits: bit n, or nothing left once n ≥ 32.
  call.result.setInteger(n <= 0 ? 1 : n >= 32 ? 0 : static_cast<int32_t>(uint32_t{1} << n));
}

static void builtinPow(Call& call) {
  const Arg a = call.argument(1);
  const Arg b = call.argument(2);
  if (a->is(ValueType::Matrix)) return;
  if (a->is(ValueType::Complex)) {
    call.result.setComplex(complexPower(a->getComplex(), b->getInteger()));
  } else if (a->is(ValueType::Integer) && b->is(ValueType::Integer)) {
    call.result.setInteger(wrappingPower(a->getInteger(), b->getInteger()));
  } else {
    const double base = a->getDouble();
    call.result.setDouble(std::pow(base, b->getDouble()));
  }
}

static void builtinPowm(Call& call) {
  const Arg aValue = call.argument(1);
  const Arg eValue = call.argument(2);
  const Arg mValue = call.argument(3);
  const int32_t a = aValue->getInteger();
  const int32_t e = eValue->getInteger();
  const int32_t m = mValue->getInteger();
  if (e <= 0) {
    call.result.setInteger(1);
    return;
  }
  if (m == 0) {
    call.syntaxError("; division by zero");
    return;
  }
  call.result.setInteger(powmSequence(a, e, m));
}

static void builtinExp(Call& call) {
  const Arg z = call.argument(1);
  if (!z->is(ValueType::Complex)) return;
  const Complex w = z->getComplex();
  const double magnitude = std::exp(w.re);
  const Complex unit = complexFromAngle(w.im);
  call.result.setComplex(unit.re * magnitude, unit.im * magnitude);
}

static void builtinInteger(Call& call) {
  const Arg v = call.argument(1);
  call.result.setInteger(v->is(ValueType::Integer) ? v->getInteger() : textToInteger(v->getString()));
}

static void builtinDouble(Call& call) {
  const Arg v = call.argument(1);
  call.result.setDouble(v->is(ValueType::Double) ? v->getDouble() : textToDouble(v->getString()));
}

static void builtinComplex(Call& call) {
  const Object parts[2] = {call.argument(1).take(), call.argument(2).take()};
  double values[2];
  for (int i = 0; i < 2; ++i) {
    const Object& p = parts[i];
    if (p.is(ValueType::String)) {
      values[i] = textToDouble(p.getString());
    } else if (p.is(ValueType::Double)) {
      values[i] = p.getDouble();
    } else if (p.is(ValueType::Integer)) {
      values[i] = static_cast<double>(p.getInteger());
    } else {
      call.syntaxError("");
      return;
    }
  }
  call.result.setComplex(values[0], values[1]);
}

static void builtinReal(Call& call) {
  const Arg z = call.argument(1);
  call.result.setDouble(z->getComplex().re);
}

static void builtinCnorm(Call& call) {
  const Arg v = call.argument(1);
  Complex z;
  if (v->is(ValueType::Matrix)) {
    const Matrix& m = v->getMatrix();
    if (int64_t{m.rows} * m.cols != 1) {
      call.report() << "Matrix not size 1 in cnorm; '" << call.text << "'\n";
      return;
    }
    z = m(0, 0);
  } else {
    z = v->getComplex();
  }
  // The conjugate times the value: the squared modulus, kept as a complex.
  call.result.setComplex(complexProduct(Complex{z.re, -z.im}, z));
}

// Scalar mathematics and random numbers, one row each.
constexpr KeywordRow kRows[] = {
    {.name = "rootOfUnity", .aliases = "", .run = builtinRootOfUnity, .args = {1, 1, "i"},
     .group = "mathematics", .usage = "rootOfUnity n",
     .summary = "The complex number e^(2*pi*i/n) for an integer n.",
     .example = "rootOfUnity 4",
     .printed = "complex temp = 6.12323e-17 + 1i\n"},
    {.name = "cast", .aliases = "", .run = builtinCast, .args = {2, 2, "sd"},
     .group = "mathematics", .usage = "cast complex X",
     .summary = "The complex number X + 0i for a double X.",
     .example = "cast complex 2.5",
     .printed = "complex temp = 2.5 + 0i\n"},
    {.name = "neg", .aliases = "", .run = builtinNeg, .args = {1, 1, "x"},
     .group = "mathematics", .usage = "neg X",
     .summary = "-X for an integer (wrapping), a double or a complex number.",
     .example = "neg (complex 1 -2)",
     .printed = "complex temp = -1 + 2i\n"},
    {.name = "sin", .aliases = "", .run = builtinSin, .args = {1, 1, "d"},
     .group = "mathematics", .usage = "sin X",
     .summary = "The sine of the double X (radians), as a double.",
     .example = "sin 1.0",
     .printed = "double temp = 0.841471\n"},
    {.name = "cos", .aliases = "", .run = builtinCos, .args = {1, 1, "d"},
     .group = "mathematics", .usage = "cos X",
     .summary = "The cosine of the double X (radians), as a double.",
     .example = "cos 0.0",
     .printed = "double temp = 1\n"},
    {.name = "inv", .aliases = "", .run = builtinInv, .args = {1, 1, "x"},
     .group = "mathematics", .usage = "inv X",
     .summary = "1/X as a double, for an integer or a double X.",
     .example = "inv 4",
     .printed = "double temp = 0.25\n"},
    {.name = "sqrt", .aliases = "", .run = builtinSqrt, .args = {1, 1, "x"},
     .group = "mathematics", .usage = "sqrt X",
     .summary = "The square root of an integer or a double X, as a double.",
     .example = "sqrt 2",
     .printed = "double temp = 1.41421\n"},
    {.name = "pow2", .aliases = "", .run = builtinPow2, .args = {1, 1, "i"},
     .group = "mathematics", .usage = "pow2 n",
     .summary = "The integer 2^n, wrapping at 32 bits; 1 for n <= 0.",
     .example = "pow2 10",
     .printed = "integer temp = 1024\n"},
    {.name = "pow", .aliases = "", .run = builtinPow, .args = {2, 2, "xx"},
     .group = "mathematics", .usage = "pow A B",
     .summary = "A^B: two integers give an integer (wrapping), a complex A and an integer B a complex number, two doubles a double.",
     .example = "pow 3 4",
     .printed = "integer temp = 81\n"},
    {.name = "powm", .aliases = "", .run = builtinPowm, .args = {3, 3, "iii"},
     .group = "mathematics", .usage = "powm A E M",
     .summary = "A^E modulo M for integers, reduced after every multiplication.",
     .example = "powm 3 4 5",
     .printed = "integer temp = 1\n"},
    {.name = "exp", .aliases = "", .run = builtinExp, .args = {1, 1, "c"},
     .group = "mathematics", .usage = "exp Z",
     .summary = "The complex number e^Z for a complex Z.",
     .example = "exp (complex 0 0)",
     .printed = "complex temp = 1 + 0i\n"},
    {.name = "integer", .aliases = "", .run = builtinInteger, .args = {1, 1, "x"},
     .group = "mathematics", .usage = "integer X",
     .summary = "An integer as it is, or the number a string starts with (0 when none).",
     .example = "integer 42abc",
     .printed = "integer temp = 42\n"},
    {.name = "double", .aliases = "", .run = builtinDouble, .args = {1, 1, "x"},
     .group = "mathematics", .usage = "double X",
     .summary = "A double as it is, or the number a string starts with.",
     .example = "double 2.5e3",
     .printed = "double temp = 2500\n"},
    {.name = "real", .aliases = "", .run = builtinReal, .args = {1, 1, "c"},
     .group = "mathematics", .usage = "real Z",
     .summary = "The real part of the complex Z, as a double.",
     .example = "real (complex 1.5 2)",
     .printed = "double temp = 1.5\n"},
    {.name = "complex", .aliases = "", .run = builtinComplex, .args = {2, 2, "xx"},
     .group = "mathematics", .usage = "complex RE IM",
     .summary = "The complex number RE + IM*i from two integers, doubles or strings.",
     .example = "complex 1 2.5",
     .printed = "complex temp = 1 + 2.5i\n"},
    {.name = "cnorm", .aliases = "", .run = builtinCnorm, .args = {1, 1, "x"},
     .group = "mathematics", .usage = "cnorm Z",
     .summary = "The squared modulus |Z|^2 of a complex Z or a 1 x 1 matrix, as a complex number.",
     .example = "cnorm (complex 3 4)",
     .printed = "complex temp = 25 + 0i\n"},
    {.name = "rand", .aliases = "", .run = builtinRand, .args = {1, 1, "i"},
     .group = "mathematics", .usage = "rand n",
     .summary = "A random integer from 0 to n-1, for an integer n >= 1.",
     .example = "rand 1",
     .printed = "integer temp = 0\n"},
    {.name = "randf", .aliases = "", .run = builtinRandf, .args = {2, 2, "dd"},
     .group = "mathematics", .usage = "randf LO HI",
     .summary = "A random double from LO up to HI (doubles), on a grid of 10000 steps.",
     .example = "randf 2.0 2.0",
     .printed = "double temp = 2\n"},
    {.name = "random_int", .aliases = "", .run = builtinRandomInt, .args = {2, 2, "ii"},
     .group = "mathematics", .usage = "random_int LO HI",
     .summary = "A random integer from LO to HI inclusive (one of 100 evenly spaced values).",
     .example = "random_int 3 3",
     .printed = "integer temp = 3\n"},
};

KeywordRows mathematicsKeywords() { return kRows; }
