// Complex numbers: two doubles, copied by value.
#pragma once

#include <cstdint>

struct Complex {
  double re = 0.0;
  double im = 0.0;
};

// The product [a]·[b] without conjugation, in the fixed order of terms every
// caller relies on for identical rounding.
inline Complex complexProduct(Complex a, Complex b) {
  return Complex{a.re * b.re - a.im * b.im, a.im * b.re + a.re * b.im};
}

// [sum] += [a]·[b]: the product rounded as complexProduct forms it, then
// each part added. Every sum of products (matrix and dot products, the
// kernels) accumulates this way from +0 + 0i, in the dense order of its
// terms: that is what gives a fast kernel the bits of the dense algorithm.
inline void addProduct(Complex& sum, Complex a, Complex b) {
  const Complex p = complexProduct(a, b);
  sum.re += p.re;
  sum.im += p.im;
}

// cos [theta] + i sin [theta].
Complex complexFromAngle(double theta);

// [z] to the power [n] by the polar method: exp(n ln|z|) at angle n·arg z.
// No special cases: 0^0 is NaN, and i^2 carries the rounding of sin and cos.
Complex complexPower(Complex z, int32_t n);
