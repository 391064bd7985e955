// One complex number as a pair of doubles in a vector register (SSE2, which
// every x86-64 processor has), with the operations the gate kernels need.
// Each lane rounds exactly as the scalar expression it stands for; nothing
// is fused or reordered. Elsewhere the same operations run on two doubles.
#pragma once

#include "value/complex.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace kernels::simd {

#if defined(__SSE2__)

using Pair = __m128d;

// [p]'s real and imaginary parts.
inline Pair load(const Complex* p) { return _mm_loadu_pd(&p->re); }
// Writes [v] to [p].
inline void store(Complex* p, Pair v) { _mm_storeu_pd(&p->re, v); }
// Writes [v] to [p] (16-byte aligned) past the caches.
inline void streamStore(Complex* p, Pair v) { _mm_stream_pd(&p->re, v); }
// Orders the streaming stores before whatever follows.
inline void streamFence() { _mm_sfence(); }
// +0 + 0i.
inline Pair zero() { return _mm_setzero_pd(); }
// (x, x).
inline Pair splat(double x) { return _mm_set1_pd(x); }
// (re, im).
inline Pair make(double re, double im) { return _mm_set_pd(im, re); }
// Lane by lane.
inline Pair add(Pair a, Pair b) { return _mm_add_pd(a, b); }
inline Pair mul(Pair a, Pair b) { return _mm_mul_pd(a, b); }
// (a.re, a.re) and (a.im, a.im).
inline Pair realParts(Pair a) { return _mm_unpacklo_pd(a, a); }
inline Pair imagParts(Pair a) { return _mm_unpackhi_pd(a, a); }

#else

struct Pair {
  double re, im;
};

inline Pair load(const Complex* p) { return Pair{p->re, p->im}; }
inline void store(Complex* p, Pair v) { *p = Complex{v.re, v.im}; }
inline void streamStore(Complex* p, Pair v) { store(p, v); }
inline void streamFence() {}
inline Pair zero() { return Pair{0.0, 0.0}; }
inline Pair splat(double x) { return Pair{x, x}; }
inline Pair make(double re, double im) { return Pair{re, im}; }
inline Pair add(Pair a, Pair b) { return Pair{a.re + b.re, a.im + b.im}; }
inline Pair mul(Pair a, Pair b) { return Pair{a.re * b.re, a.im * b.im}; }
inline Pair realParts(Pair a) { return Pair{a.re, a.re}; }
inline Pair imagParts(Pair a) { return Pair{a.im, a.im}; }

#endif

// A matrix entry e ready to multiply: complexProduct(e, x) is
// (e.re, e.im)·(x.re, x.re) + (-e.im, e.re)·(x.im, x.im), lane by lane. The
// real part is e.re·x.re + (-(e.im·x.im)), which IEEE arithmetic rounds
// exactly as e.re·x.re - e.im·x.im; the imaginary part adds the same two
// products as complexProduct does.
struct Entry {
  explicit Entry(Complex e) : direct(make(e.re, e.im)), crossed(make(-e.im, e.re)) {}
  // complexProduct(e, [x]).
  Pair times(Pair x) const { return add(mul(direct, realParts(x)), mul(crossed, imagParts(x))); }

  Pair direct;   // (e.re, e.im)
  Pair crossed;  // (-e.im, e.re)
};

}  // namespace kernels::simd
