// Unitarity check and conjugate transpose.
#include <cmath>
#include <utility>
#include <vector>

#include "quantum/quantum.h"

namespace {

constexpr double kUnitarityTolerance = 0.0001;

// Whether |[deviation]| is within the tolerance; a NaN deviation is not.
bool withinTolerance(double deviation) { return std::fabs(deviation) <= kUnitarityTolerance; }

// Whether A·A† is the identity within the tolerance, entry by entry. Each
// entry of the product is summed exactly as `multiply` would sum it, but
// formed only when needed, so a tall matrix costs no m × m work matrix and
// the first failing entry settles the answer.
bool rowsAreOrthonormal(const Matrix& a) {
  if (!a.hasStorage()) return true;
  Matrix conjugate;
  adjoint(a, conjugate);
  const size_t rows = static_cast<size_t>(a.rows);
  const size_t inner = static_cast<size_t>(a.cols);
  std::vector<Complex> row(inner);
  for (size_t k = 0; k < rows; ++k) {
    for (size_t j = 0; j < inner; ++j) row[j] = a.data[k + j * rows];
    for (size_t l = 0; l < rows; ++l) {
      // Column l of A† is row l of A, conjugated, stored contiguously.
      const Complex* column = conjugate.data.data() + l * inner;
      Complex sum{0.0, 0.0};
      for (size_t j = 0; j < inner; ++j) {
        const Complex p = complexProduct(row[j], column[j]);
        sum.re += p.re;
        sum.im += p.im;
      }
      const double expected = k == l ? 1.0 : 0.0;
      if (!withinTolerance(sum.re - expected) || !withinTolerance(sum.im)) return false;
    }
  }
  return true;
}

}  // namespace

void builtinIsUnitary(Call& call) {
  const Object argument = call.arg(1);
  if (!argument.is(ValueType::Matrix)) call.syntaxError("; type not matrix (isUnitary)");
  const Matrix& a = argument.getMatrix();
  call.result.setInteger(rowsAreOrthonormal(a) ? 1 : 0);
}

void builtinTranspose(Call& call) {
  const Object argument = call.arg(1);
  if (!argument.is(ValueType::Matrix)) call.syntaxError("; type not matrix (transpose)");
  const Matrix& a = argument.getMatrix();
  Matrix conjugate;
  adjoint(a, conjugate);
  call.result.setMatrix(std::move(conjugate));
}
