// Dense complex matrices, column-major with 0-based indices: element (r, c)
// is data[r + c * rows]. A ket is rows × 1, a bra 1 × cols. A matrix either
// has no storage (rows = cols = count = 0) or rows ≥ 1, cols ≥ 1 and exactly
// count elements.
//
// The operations that loop over many elements (products, sums, adjoint,
// scaling) poll the break flag between blocks and throw "Error: User break."
// on a break, leaving their output incomplete. assignMatrix never does: a
// variable being set is either unchanged or fully updated.
#pragma once

#include <cstdint>
#include <vector>

#include "value/complex.h"
#include "value/element_array.h"

// Largest number of elements any matrix value may hold (2 GiB of elements).
// Sizes are computed in 64 bits and checked against it before allocating.
#ifdef DOVEX_FUZZING
// Fuzzing builds keep single built-ins cheap: large values are correct but slow.
inline constexpr int64_t kMaxMatrixElements = int64_t{1} << 14;
#else
inline constexpr int64_t kMaxMatrixElements = int64_t{1} << 27;
#endif

// True when a [rows] × [cols] matrix stays within kMaxMatrixElements
// (non-positive sizes fit: they make an empty matrix).
bool fitsElementBudget(int64_t rows, int64_t cols);

struct Matrix {
  ElementArray data;
  int32_t rows = 0;
  int32_t cols = 0;
  int32_t count = 0;
  // A column held split over the processes of a distributed run keeps only
  // this process's rows: [rows] of them from [firstRow] on, of [wholeRows]
  // in all (0: held whole). Only code written for slices ever sees one: the
  // value getter hands every other reader the whole column.
  int32_t wholeRows = 0;
  int32_t firstRow = 0;

  bool hasStorage() const { return !data.empty(); }
  bool isSlice() const { return wholeRows != 0; }

  // Bounds-checked access to element ([r], [c]). An invalid access prints the
  // "Error 5 (" line and throws "Error 1 in operator()".
  Complex& operator()(int32_t r, int32_t c);
  const Complex& operator()(int32_t r, int32_t c) const;

  // Shapes the matrix [rows] × [cols]: false (and no change) when either is
  // ≤ 0; keeps the elements when the shape is unchanged, else all zeros.
  bool setSize(int32_t rows, int32_t cols);
  // Shapes the matrix like setSize but leaves the element values unspecified,
  // for callers that write every element: nothing is zero-filled.
  bool setSizeForOverwrite(int32_t rows, int32_t cols);
  // Frees the elements; the matrix becomes empty.
  void release();
  // Every element becomes 0 + 0i.
  void setZero();
  // Zeros, then ones on the leading diagonal.
  void setIdentity();
  // Every element becomes [value].
  void fill(Complex value);
  // Checked write of [value] at ([r], [c]).
  void setElement(int32_t r, int32_t c, Complex value);
  // Every element e becomes complexProduct([s], e), in place.
  void scale(Complex s);
};

// Element-wise copy of [source] into [target]. An empty source throws
// "Error 1 in operator=\n" and leaves the target as it was.
Matrix& assignMatrix(Matrix& target, const Matrix& source);

// [out] becomes the conjugate transpose of [source]; the conjugate is formed
// by multiplying the imaginary part by -1.0, so a zero becomes -0.
void adjoint(const Matrix& source, Matrix& out);

// [out] = [a] + [b] (or [a] - [b]) element by element; throws
// "Error - cannot add matrix\n" ("... subtract ...") on a shape mismatch.
void addMatrix(const Matrix& a, const Matrix& b, Matrix& out);
void subtractMatrix(const Matrix& a, const Matrix& b, Matrix& out);

// [out] = [a] × [b]; false (out untouched) when a.cols ≠ b.rows. Each element
// is summed from +0 + 0i over k in order, the rounding every caller relies on.
bool multiply(const Matrix& a, const Matrix& b, Matrix& out);

// The same product as multiply, skipping the terms whose entry of [b] is
// zero. While [a] holds only finite values such a term adds ±0 to a sum that
// starts at +0 and so changes nothing: the result is multiply's, bit for
// bit, in time proportional to the non-zero entries of [b]. With an infinity
// or NaN in [a] it differs (0 · inf is NaN): callers must know [a] is finite.
bool multiplyFiniteBySparse(const Matrix& a, const Matrix& b, Matrix& out);

// Σ a[k]·b[k] without conjugation. Throws "Dot product error 1\n" on a count
// mismatch, "... 2\n" when [a] is not a vector, "... 3\n" when [b] is not a
// column.
Complex dotProduct(const Matrix& a, const Matrix& b);
