// The unitarity test: A·A† against the identity.
#include "quantum/unitarity.h"

#include <cmath>
#include <vector>

#include "runtime/break_flag.h"

namespace {

constexpr double kUnitarityTolerance = 0.0001;

// Whether |[deviation]| is within the tolerance; a NaN deviation is not.
bool withinTolerance(double deviation) { return std::fabs(deviation) <= kUnitarityTolerance; }

}  // namespace

bool rowsAreOrthonormal(const Matrix& a) {
  if (!a.hasStorage()) return true;
  Matrix conjugate;
  adjoint(a, conjugate);
  const size_t rows = static_cast<size_t>(a.rows);
  const size_t inner = static_cast<size_t>(a.cols);
  std::vector<Complex> row(inner);
  BreakPoll poll;
  for (size_t k = 0; k < rows; ++k) {
    for (size_t j = 0; j < inner; ++j) row[j] = a.data[k + j * rows];
    for (size_t l = 0; l < rows; ++l) {
      if (poll.stopAfter(inner)) return false;  // Ctrl-C: stop; the caller raises the break
      // Column l of A† is row l of A, conjugated, stored contiguously.
      const Complex* column = conjugate.data.data() + l * inner;
      Complex sum{0.0, 0.0};
      for (size_t j = 0; j < inner; ++j) {
        addProduct(sum, row[j], column[j]);
      }
      const double expected = k == l ? 1.0 : 0.0;
      if (!withinTolerance(sum.re - expected) || !withinTolerance(sum.im)) return false;
    }
  }
  return true;
}
