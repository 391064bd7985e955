// The loops of the one-qubit gate kernels, written once over a vector of
// W complex numbers: [V] supplies load, store, zero, add, mul, splat and
// the products realParts/imagParts (see simd_pair.h for the rounding). The
// lanes hold consecutive amplitudes, so a loop runs W at a time along a
// stride of at least W; each lane rounds exactly as the one-number loop.
#pragma once

#include <cstddef>

#include "value/complex.h"

namespace kernels::loops {

// out0 = 0 + r00·x0 + r01·x1 and out1 = 0 + r10·x0 + r11·x1 for every pair
// (x0, x1) [stride] apart, with real entries.
template <class V>
void oneQubitReal(Complex* data, size_t length, size_t stride, const double (&r)[2][2]) {
  using P = typename V::Pack;
  const P r00 = V::splat(r[0][0]), r01 = V::splat(r[0][1]), r10 = V::splat(r[1][0]), r11 = V::splat(r[1][1]);
  for (size_t i0 = 0; i0 < length; i0 += 2 * stride) {
    for (size_t i = i0; i < i0 + stride; i += V::kWidth) {
      const P x0 = V::load(data + i);
      const P x1 = V::load(data + i + stride);
      V::store(data + i, V::add(V::add(V::zero(), V::mul(r00, x0)), V::mul(r01, x1)));
      V::store(data + i + stride, V::add(V::add(V::zero(), V::mul(r10, x0)), V::mul(r11, x1)));
    }
  }
}

// The same with complex entries e: each product (e.re, e.im)·(x.re, x.re) +
// (-e.im, e.re)·(x.im, x.im), which is complexProduct(e, x) lane by lane.
template <class V>
void oneQubitComplex(Complex* data, size_t length, size_t stride, const Complex (&e)[2][2]) {
  using P = typename V::Pack;
  P direct[2][2], crossed[2][2];
  for (int a = 0; a < 2; ++a) {
    for (int b = 0; b < 2; ++b) {
      direct[a][b] = V::pair(e[a][b].re, e[a][b].im);
      crossed[a][b] = V::pair(-e[a][b].im, e[a][b].re);
    }
  }
  auto times = [](P d, P c, P x) { return V::add(V::mul(d, V::realParts(x)), V::mul(c, V::imagParts(x))); };
  for (size_t i0 = 0; i0 < length; i0 += 2 * stride) {
    for (size_t i = i0; i < i0 + stride; i += V::kWidth) {
      const P x0 = V::load(data + i);
      const P x1 = V::load(data + i + stride);
      V::store(data + i, V::add(V::add(V::zero(), times(direct[0][0], crossed[0][0], x0)),
                                times(direct[0][1], crossed[0][1], x1)));
      V::store(data + i + stride, V::add(V::add(V::zero(), times(direct[1][0], crossed[1][0], x0)),
                                         times(direct[1][1], crossed[1][1], x1)));
    }
  }
}

// x = 0 + d·x for the amplitudes whose bit at [stride] is [bit].
template <class V>
void oneQubitFactor(Complex* data, size_t length, size_t stride, int bit, Complex d) {
  using P = typename V::Pack;
  const P direct = V::pair(d.re, d.im), crossed = V::pair(-d.im, d.re);
  for (size_t i0 = bit != 0 ? stride : 0; i0 < length; i0 += 2 * stride) {
    for (size_t i = i0; i < i0 + stride; i += V::kWidth) {
      const P x = V::load(data + i);
      V::store(data + i, V::add(V::zero(), V::add(V::mul(direct, V::realParts(x)), V::mul(crossed, V::imagParts(x)))));
    }
  }
}

}  // namespace kernels::loops
