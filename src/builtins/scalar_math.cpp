// Scalar mathematics and random numbers. Every keyword evaluates all its
// arguments, left to right, before it checks any of them. Random draws come
// from the C library generator, seeded once at start-up and shared with the
// measurements; each random keyword draws exactly one number.
#include <cmath>
#include <cstdint>
#include <cstdlib>

#include "builtins/builtins.h"
#include "value/break_flag.h"
#include "value/error.h"
#include "value/int32_math.h"
#include "value/number_text.h"

namespace {

constexpr double kTwoPi = 6.283185307179586;
constexpr int kRandfSteps = 10000;
constexpr int kRandomIntBuckets = 100;

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

void builtinRootOfUnity(Call& call) {
  const Object n = call.arg(1);
  // n = 0 gives an infinite angle and NaN parts, like any other division.
  call.result.setComplex(complexFromAngle(kTwoPi / static_cast<double>(n.getInteger())));
}

void builtinRand(Call& call) {
  const Object range = call.arg(1);
  const int32_t n = range.getInteger();
  if (n <= 0) {
    call.report() << "Syntax Error '" << call.text << "'; maxRange <= 0\n";
    return;
  }
  call.result.setInteger(std::rand() % n);
}

void builtinRandf(Call& call) {
  const Object loValue = call.arg(1);
  const Object hiValue = call.arg(2);
  const double lo = loValue.getDouble();
  const double hi = hiValue.getDouble();
  const double q = static_cast<double>(std::rand() % kRandfSteps) / kRandfSteps;
  call.result.setDouble(lo + (hi - lo) * q);
}

void builtinRandomInt(Call& call) {
  const Object loValue = call.arg(1);
  const Object hiValue = call.arg(2);
  // In 64 bits the width hi - lo + 1 never wraps, so the result stays in
  // lo … hi for every pair of bounds, negative ones included.
  const int64_t lo = loValue.getInteger();
  const int64_t hi = hiValue.getInteger();
  if (hi < lo) {
    call.syntaxError("; large < small");
    throw ScriptError("Syntax error.");
  }
  const int64_t k = std::rand() % kRandomIntBuckets;
  call.result.setInteger(static_cast<int32_t>(lo + k * (hi - lo + 1) / kRandomIntBuckets));
}

void builtinCast(Call& call) {
  const Object target = call.arg(1);
  const Object value = call.arg(2);
  if (target.getString() != "complex") return;
  if (!value.is(ValueType::Double)) {
    call.syntaxError("; cast argument type not recognized.");
    return;
  }
  call.result.setComplex(value.getDouble(), 0.0);
}

void builtinNeg(Call& call) {
  const Object v = call.arg(1);
  if (v.is(ValueType::Integer)) {
    call.result.setInteger(wrapNeg(v.getInteger()));
  } else if (v.is(ValueType::Double)) {
    call.result.setDouble(v.getDouble() * -1.0);
  } else if (v.is(ValueType::Complex)) {
    const Complex z = v.getComplex();
    call.result.setComplex(z.re * -1.0, z.im * -1.0);
  }
}

void builtinSin(Call& call) {
  const Object x = call.arg(1);
  call.result.setDouble(std::sin(x.getDouble()));
}

void builtinCos(Call& call) {
  const Object x = call.arg(1);
  call.result.setDouble(std::cos(x.getDouble()));
}

void builtinInv(Call& call) {
  const Object x = call.arg(1);
  call.result.setDouble(1.0 / integerOrDouble(x));
}

void builtinSqrt(Call& call) {
  const Object x = call.arg(1);
  call.result.setDouble(std::sqrt(integerOrDouble(x)));
}

void builtinPow2(Call& call) {
  const Object nValue = call.arg(1);
  const int32_t n = nValue.getInteger();
  // Doubling 1 n times in 32 bits: bit n, or nothing left once n ≥ 32.
  call.result.setInteger(n <= 0 ? 1 : n >= 32 ? 0 : static_cast<int32_t>(uint32_t{1} << n));
}

void builtinPow(Call& call) {
  const Object a = call.arg(1);
  const Object b = call.arg(2);
  if (a.is(ValueType::Matrix)) return;
  if (a.is(ValueType::Complex)) {
    call.result.setComplex(complexPower(a.getComplex(), b.getInteger()));
  } else if (a.is(ValueType::Integer) && b.is(ValueType::Integer)) {
    call.result.setInteger(wrappingPower(a.getInteger(), b.getInteger()));
  } else {
    const double base = a.getDouble();
    call.result.setDouble(std::pow(base, b.getDouble()));
  }
}

void builtinPowm(Call& call) {
  const Object aValue = call.arg(1);
  const Object eValue = call.arg(2);
  const Object mValue = call.arg(3);
  const int32_t a = aValue.getInteger();
  const int32_t e = eValue.getInteger();
  const int32_t m = mValue.getInteger();
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

void builtinExp(Call& call) {
  const Object z = call.arg(1);
  if (!z.is(ValueType::Complex)) return;
  const Complex w = z.getComplex();
  const double magnitude = std::exp(w.re);
  const Complex unit = complexFromAngle(w.im);
  call.result.setComplex(unit.re * magnitude, unit.im * magnitude);
}

void builtinInteger(Call& call) {
  const Object v = call.arg(1);
  call.result.setInteger(v.is(ValueType::Integer) ? v.getInteger() : textToInteger(v.getString()));
}

void builtinDouble(Call& call) {
  const Object v = call.arg(1);
  call.result.setDouble(v.is(ValueType::Double) ? v.getDouble() : textToDouble(v.getString()));
}

void builtinComplex(Call& call) {
  const Object parts[2] = {call.arg(1), call.arg(2)};
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

void builtinReal(Call& call) {
  const Object z = call.arg(1);
  call.result.setDouble(z.getComplex().re);
}

void builtinCnorm(Call& call) {
  const Object v = call.arg(1);
  Complex z;
  if (v.is(ValueType::Matrix)) {
    const Matrix& m = v.getMatrix();
    if (int64_t{m.rows} * m.cols != 1) {
      call.report() << "Matrix not size 1 in cnorm; '" << call.text << "'\n";
      return;
    }
    z = m(0, 0);
  } else {
    z = v.getComplex();
  }
  // The conjugate times the value: the squared modulus, kept as a complex.
  call.result.setComplex(complexProduct(Complex{z.re, -z.im}, z));
}
