// The fast kernels behind apply_op and the subsystem measurements: strided
// loops over one subsystem's index, never a widened operator or a basis
// vector, so time grows with the state's length times one subsystem's
// dimension and memory with the state's length.
//
// The work is spread over threads with parallelFor in blocks whose results
// do not depend on which thread computes them, and stops early between
// blocks when a break is pending (the output is then incomplete; the caller
// reports the break).
//
// They give bit for bit what the dense algorithms of reference.h give for
// finite inputs. Two facts make that possible. A sum started at +0 + 0i never
// becomes -0, and adding a zero of either sign to it changes nothing, so the
// zero terms of a dense product can be left out as long as the others are
// added in the dense order. And a unit entry built from Kronecker products of
// (1, 0) multiplies a value without changing anything but the sign of its
// zero parts, which the sum starting at +0 then washes out.
//
// Every kernel polls the break flag (runtime/break_flag.h) between blocks of
// work and, on a break, stops early and returns with its output incomplete;
// its caller raises the break with throwIfBreak() before using the output.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "value/matrix.h"

namespace kernels {

// A product of sizes that stops growing at kSaturatedSize; every size above
// the element budget is refused, so the exact value beyond it never matters.
inline constexpr int64_t kSaturatedSize = int64_t{1} << 62;

// [a] · [b] for sizes ≥ 0, saturating at kSaturatedSize.
int64_t saturatingProduct(int64_t a, int64_t b);

// Π [dims][s] for s in [begin, end), saturating; 1 for an empty range.
int64_t dimensionProduct(const std::vector<int32_t>& dims, size_t begin, size_t end);

// The shape of the operator that puts [g] at position [k] of the system
// [dims] and the identity everywhere else (the identity of the whole system
// when [k] is outside it), saturating. Every dimension must be ≥ 1.
struct WidenedShape {
  int64_t rows;
  int64_t cols;
};
WidenedShape widenedShape(const std::vector<int32_t>& dims, int32_t k, const Matrix& g);

// [out] = (I_[high] ⊗ [g] ⊗ I_[low]) · [v], every column of [v] transformed.
// [v] must have [high] · g.cols · [low] rows and [g] must have storage; [out]
// gets [high] · g.rows · [low] rows and v.cols columns.
void applyToSubsystem(const Matrix& g, int64_t high, int64_t low, const Matrix& v, Matrix& out);

// tensor: [out] = [a] ⊗ [b], the Kronecker product with the left factor most
// significant, each element written once, the work spread over threads. A
// factor without storage gives an empty [out]. The caller checks the size
// against the element budget.
void tensorProduct(const Matrix& a, const Matrix& b, Matrix& out);
// Shapes [out] for [a] ⊗ [b] without filling it: false (and [out] empty)
// when a factor has no storage; throws std::bad_alloc past the element
// budget. Shared by the threaded product and the plain one of reference.h.
bool shapeTensorProduct(const Matrix& a, const Matrix& b, Matrix& out);

// apply_op: [out] = (I ⊗ … ⊗ [g] at position [k] ⊗ … ⊗ I) · [v] for the
// system [dims]; a [k] outside the system makes [out] an exact copy of [v].
// [v] must have widenedShape(dims, k, g).cols rows, and [g] storage when [k]
// is inside the system. Outside the system [out] is an exact copy of [v].
void applyOperator(const std::vector<int32_t>& dims, int32_t k, const Matrix& g, const Matrix& v, Matrix& out);

// The outcome probabilities p[0 .. dims[k]-1] of subsystem [k] of the state
// [v] (one column of Π dims rows, every dimension ≥ 1, k in range). Each p[o]
// sums |v|² in odometer order: the lowest-numbered other subsystem advances
// first. The squares are gathered in summation order through a buffer of
// the state's size, in tiles whose rows and columns each span at most
// [tileLimit] positions (0 chooses the default); the result does not depend
// on the tiles.
std::vector<double> subsystemProbabilities(const Matrix& v, const std::vector<int32_t>& dims, int32_t k,
                                           size_t tileLimit = 0);

// [out] = [v] collapsed onto [outcome] of subsystem [k]: v / [rootProbability]
// (√p of the outcome) where the
// index of subsystem k is [outcome], +0 + 0i elsewhere. Same preconditions as
// subsystemProbabilities.
void collapseSubsystem(const Matrix& v, const std::vector<int32_t>& dims, int32_t k, int32_t outcome,
                       double rootProbability, Matrix& out);

// The amplitude the dense algorithms read for one basis state: the dot
// product of a unit basis vector with the state, +0 + (1 + 0i)·v.
inline Complex basisAmplitude(Complex v) {
  const Complex term = complexProduct(Complex{1.0, 0.0}, v);
  return Complex{0.0 + term.re, 0.0 + term.im};
}

// |[a]|² formed as the real part of a · conj(a), the one rounding every
// measurement uses.
inline double squaredModulus(Complex a) { return complexProduct(a, Complex{a.re, -a.im}).re; }

}  // namespace kernels
