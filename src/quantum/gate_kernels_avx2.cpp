// Built with -mavx2 where the compiler targets x86-64 (see CMakeLists.txt);
// elsewhere only available() is, answering false.
#include "quantum/gate_kernels_avx2.h"

#if defined(__AVX2__)
#include <immintrin.h>

#include "quantum/gate_loops.h"
#endif

namespace kernels::avx2 {

#if defined(__AVX2__)

namespace {

// Two complex numbers (re, im, re, im) in one register.
struct Avx2 {
  using Pack = __m256d;
  static constexpr size_t kWidth = 2;
  static Pack load(const Complex* p) { return _mm256_loadu_pd(&p->re); }
  static void store(Complex* p, Pack v) { _mm256_storeu_pd(&p->re, v); }
  static Pack zero() { return _mm256_setzero_pd(); }
  static Pack splat(double x) { return _mm256_set1_pd(x); }
  static Pack pair(double re, double im) { return _mm256_setr_pd(re, im, re, im); }
  static Pack add(Pack a, Pack b) { return _mm256_add_pd(a, b); }
  static Pack mul(Pack a, Pack b) { return _mm256_mul_pd(a, b); }
  static Pack realParts(Pack a) { return _mm256_movedup_pd(a); }
  static Pack imagParts(Pack a) { return _mm256_permute_pd(a, 0xF); }
};

}  // namespace

bool available() { return __builtin_cpu_supports("avx2"); }

void oneQubitReal(Complex* data, size_t length, size_t stride, const double (&r)[2][2]) {
  loops::oneQubitReal<Avx2>(data, length, stride, r);
}
void oneQubitComplex(Complex* data, size_t length, size_t stride, const Complex (&e)[2][2]) {
  loops::oneQubitComplex<Avx2>(data, length, stride, e);
}
void oneQubitFactor(Complex* data, size_t length, size_t stride, int bit, Complex d) {
  loops::oneQubitFactor<Avx2>(data, length, stride, bit, d);
}

#else

bool available() { return false; }
void oneQubitReal(Complex*, size_t, size_t, const double (&)[2][2]) {}
void oneQubitComplex(Complex*, size_t, size_t, const Complex (&)[2][2]) {}
void oneQubitFactor(Complex*, size_t, size_t, int, Complex) {}

#endif

}  // namespace kernels::avx2
