// The strided kernels against the dense algorithms they replace, compared by
// bit pattern: -0 and 0 must not be confused, and a different order of
// additions shows up in the last bits.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "quantum/kernels.h"
#include "quantum/parallel.h"
#include "quantum/qubit_kernels.h"
#include "quantum/reference.h"
#include "runtime/script_error.h"

namespace {

uint64_t bits(double x) {
  uint64_t b;
  std::memcpy(&b, &x, sizeof b);
  return b;
}

// Every element as its bit patterns, with the shape: equal texts mean equal
// matrices down to the sign of every zero.
std::string bitText(const Matrix& m) {
  std::string text = std::to_string(m.rows) + "x" + std::to_string(m.cols) + ":";
  for (const Complex& e : m.data) text += " " + std::to_string(bits(e.re)) + "," + std::to_string(bits(e.im));
  return text;
}

std::string bitText(const std::vector<double>& values) {
  std::string text;
  for (double x : values) text += std::to_string(bits(x)) + " ";
  return text;
}

std::string dimsText(const std::vector<int32_t>& dims) {
  std::string text = "(";
  for (int32_t d : dims) text += std::to_string(d) + " ";
  return text + ")";
}

// Random cases with the values that catch mistakes: signed zeros, exact
// cancellations, mixed magnitudes, small integers.
class RandomCases {
 public:
  explicit RandomCases(unsigned seed) : generator_(seed) {}

  int32_t below(int32_t n) { return std::uniform_int_distribution<int32_t>(0, n - 1)(generator_); }

  double value() {
    switch (below(8)) {
      case 0: return 0.0;
      case 1: return -0.0;
      case 2: return static_cast<double>(below(7) - 3);
      case 3: return std::ldexp(std::uniform_real_distribution<double>(-1, 1)(generator_), below(60) - 30);
      case 4: return 1.0 / 3.0;
      case 5: return -1.0 / 3.0;
      default: return std::uniform_real_distribution<double>(-1, 1)(generator_);
    }
  }

  Matrix matrix(int32_t rows, int32_t cols) {
    Matrix m;
    m.setSize(rows, cols);
    for (Complex& e : m.data) e = Complex{value(), value()};
    return m;
  }

  std::vector<int32_t> dims() {
    std::vector<int32_t> d(static_cast<size_t>(1 + below(4)));
    for (int32_t& x : d) x = 1 + below(4);
    return d;
  }

 private:
  std::mt19937 generator_;
};

int64_t product(const std::vector<int32_t>& dims) { return kernels::dimensionProduct(dims, 0, dims.size()); }

}  // namespace

TEST(QuantumKernels, ApplyOperatorMatchesWidenedOperatorAtEveryPosition) {
  RandomCases cases(7);
  for (int trial = 0; trial < 300; ++trial) {
    const std::vector<int32_t> dims = cases.dims();
    for (int32_t k = -1; k <= static_cast<int32_t>(dims.size()); ++k) {
      const bool inSystem = k >= 0 && k < static_cast<int32_t>(dims.size());
      // Mostly a square operator of the subsystem's size; sometimes another
      // shape, which only has to fit the state as a whole.
      int32_t gRows = inSystem ? dims[static_cast<size_t>(k)] : 2;
      int32_t gCols = gRows;
      if (cases.below(4) == 0) {
        gRows = 1 + cases.below(4);
        gCols = 1 + cases.below(4);
      }
      const Matrix g = cases.matrix(gRows, gCols);
      const int64_t stateRows = kernels::widenedShape(dims, k, g).cols;
      const Matrix v = cases.matrix(static_cast<int32_t>(stateRows), 1 + cases.below(3));
      Matrix dense;
      ASSERT_TRUE(reference::applyOperator(dims, k, g, v, dense));
      Matrix fast;
      kernels::applyOperator(dims, k, g, v, fast);
      // Outside the system the state comes back as an exact copy.
      ASSERT_EQ(bitText(fast), bitText(inSystem ? dense : v)) << "dims " << dimsText(dims) << " k " << k;
      EXPECT_EQ(kernels::widenedShape(dims, k, g).rows, dense.rows);
    }
  }
}

TEST(QuantumKernels, ProbabilitiesAndCollapseMatchBasisVectorWalk) {
  RandomCases cases(11);
  for (int trial = 0; trial < 300; ++trial) {
    const std::vector<int32_t> dims = cases.dims();
    const Matrix v = cases.matrix(static_cast<int32_t>(product(dims)), 1);
    for (int32_t k = 0; k < static_cast<int32_t>(dims.size()); ++k) {
      const std::vector<double> dense = reference::subsystemProbabilities(v, dims, k);
      ASSERT_EQ(bitText(kernels::subsystemProbabilities(v, dims, k)), bitText(dense))
          << "dims " << dimsText(dims) << " k " << k;
      for (int32_t outcome = 0; outcome < dims[static_cast<size_t>(k)]; ++outcome) {
        // An outcome of probability 0 is never chosen, so never collapsed onto.
        const double pSq = std::sqrt(dense[static_cast<size_t>(outcome)] * 100.0 / 100.0);
        if (pSq == 0.0) continue;
        Matrix denseCollapse;
        reference::collapseSubsystem(v, dims, k, outcome, pSq, denseCollapse);
        Matrix fastCollapse;
        kernels::collapseSubsystem(v, dims, k, outcome, pSq, fastCollapse);
        ASSERT_EQ(bitText(fastCollapse), bitText(denseCollapse))
            << "dims " << dimsText(dims) << " k " << k << " outcome " << outcome;
      }
    }
  }
}

TEST(QuantumKernels, ProbabilitiesAddInOdometerOrderNotFlatOrder) {
  // System (2, 2, 2), subsystem 2: outcome 0 walks the flat indices 0, 4, 2,
  // 6 (subsystem 0 turns first). With squared moduli 1, 1, 2^53, 0 in that
  // order the sum is 2^53 + 2; in flat order (1, 2^53, 1) it would round to
  // 2^53.
  const std::vector<int32_t> dims{2, 2, 2};
  Matrix v;
  v.setSize(8, 1);
  v.data[0] = Complex{1.0, 0.0};
  v.data[4] = Complex{0.0, 1.0};
  v.data[2] = Complex{std::ldexp(1.0, 26), std::ldexp(1.0, 26)};
  const std::vector<double> p = kernels::subsystemProbabilities(v, dims, 2);
  EXPECT_EQ(bits(p[0]), bits(std::ldexp(1.0, 53) + 2.0));
  EXPECT_EQ(bitText(p), bitText(reference::subsystemProbabilities(v, dims, 2)));
}

TEST(QuantumKernels, NegativeZerosBecomePositiveAsTheDenseSumsMakeThem) {
  // A collapse starts its sums at +0, so a -0 amplitude comes back as +0,
  // never as -0; an outside position copies the state exactly, -0 included.
  const std::vector<int32_t> dims{2};
  Matrix v;
  v.setSize(2, 1);
  v.data[0] = Complex{-0.0, -0.0};
  v.data[1] = Complex{-0.0, 1.0};
  Matrix g;
  g.setSize(1, 1);
  Matrix copied;
  kernels::applyOperator(dims, 5, g, v, copied);
  EXPECT_EQ(bitText(copied), bitText(v));
  Matrix collapsed;
  kernels::collapseSubsystem(v, dims, 0, 1, 1.0, collapsed);
  EXPECT_EQ(bitText(collapsed), bitText([&] {
              Matrix expected;
              expected.setSize(2, 1);
              expected.data[1] = Complex{0.0, 1.0};
              return expected;
            }()));
}

TEST(QuantumKernels, NonFiniteInputsStayNonFinite) {
  const std::vector<int32_t> dims{2, 2};
  Matrix v;
  v.setSize(4, 1);
  v.data[1] = Complex{INFINITY, 0.0};
  v.data[2] = Complex{NAN, 1.0};
  Matrix g;
  g.setSize(2, 2);
  g.setIdentity();
  Matrix out;
  kernels::applyOperator(dims, 1, g, v, out);
  EXPECT_FALSE(std::isfinite(out.data[1].re));
  EXPECT_FALSE(std::isfinite(out.data[2].re));
  const std::vector<double> p = kernels::subsystemProbabilities(v, dims, 0);
  EXPECT_FALSE(std::isfinite(p[0]));
  EXPECT_FALSE(std::isfinite(p[1]));
  kernels::collapseSubsystem(v, dims, 0, 1, 1.0, out);
  EXPECT_FALSE(std::isfinite(out.data[2].re));
}

TEST(QuantumKernels, SizesSaturateInsteadOfOverflowing) {
  EXPECT_EQ(kernels::saturatingProduct(int64_t{1} << 40, int64_t{1} << 40), kernels::kSaturatedSize);
  const std::vector<int32_t> huge(40, 2147483647);
  EXPECT_EQ(kernels::dimensionProduct(huge, 0, huge.size()), kernels::kSaturatedSize);
  EXPECT_EQ(kernels::dimensionProduct(huge, 3, 3), 1);
  Matrix g;
  g.setSize(2, 2);
  EXPECT_EQ(kernels::widenedShape(huge, 0, g).cols, kernels::kSaturatedSize);
}

TEST(QuantumKernels, DenseWalkReportsIllShapedStates) {
  const std::vector<int32_t> dims{2, 2};
  Matrix shortState;
  shortState.setSize(3, 1);
  try {
    reference::subsystemProbabilities(shortState, dims, 0);
    FAIL();
  } catch (const ScriptError& e) {
    EXPECT_STREQ(e.what(), "Dot product error 1\n");
  }
  Matrix twoColumns;
  twoColumns.setSize(2, 2);
  try {
    reference::subsystemProbabilities(twoColumns, dims, 1);
    FAIL();
  } catch (const ScriptError& e) {
    EXPECT_STREQ(e.what(), "Dot product error 3\n");
  }
}

TEST(QuantumKernels, BlockedAndTiledPathsMatchTheReference) {
  // States long enough for whole tiles of a run, and the probabilities
  // gathered in tiles of every extent down to one square, on systems of mixed
  // dimensions: the tiling must never change a bit. The threaded tensor
  // product against the plain one rides along.
  RandomCases cases(23);
  for (int trial = 0; trial < 40; ++trial) {
    std::vector<int32_t> dims = cases.dims();
    dims.push_back(64 + cases.below(40));  // a long run below every other subsystem
    if (product(dims) > 600) continue;
    const int32_t k = cases.below(static_cast<int32_t>(dims.size()) - 1);
    const Matrix g = cases.matrix(dims[static_cast<size_t>(k)], dims[static_cast<size_t>(k)]);
    const Matrix v = cases.matrix(static_cast<int32_t>(product(dims)), 1);
    Matrix dense;
    ASSERT_TRUE(reference::applyOperator(dims, k, g, v, dense));
    Matrix fast;
    kernels::applyOperator(dims, k, g, v, fast);
    ASSERT_EQ(bitText(fast), bitText(dense)) << "dims " << dimsText(dims) << " k " << k;
    Matrix plainProduct;
    tensorProduct(g, v, plainProduct);
    Matrix fastProduct;
    kernels::tensorProduct(g, v, fastProduct);
    ASSERT_EQ(bitText(fastProduct), bitText(plainProduct));
    for (int32_t measured = 0; measured < static_cast<int32_t>(dims.size()); ++measured) {
      const std::string expected = bitText(reference::subsystemProbabilities(v, dims, measured));
      for (size_t tile : {size_t{1}, size_t{7}, size_t{64}, size_t{0}}) {
        ASSERT_EQ(bitText(kernels::subsystemProbabilities(v, dims, measured, tile)), expected)
            << "dims " << dimsText(dims) << " k " << measured << " tile " << tile;
      }
    }
  }
}

TEST(QuantumKernels, EveryThreadCountGivesTheSameBits) {
  // Large enough that every kernel splits its work into many chunks.
  const std::vector<int32_t> dims{3, 2, 5, 2, 2, 3, 2, 2, 2, 3, 2};
  RandomCases cases(31);
  const Matrix v = cases.matrix(static_cast<int32_t>(product(dims)), 1);
  const std::vector<int32_t> positions{0, 2, 10, 11};  // 11 is outside the system
  std::vector<Matrix> operators;
  for (int32_t k : positions) {
    const int32_t d = dims[static_cast<size_t>(k % 11)];
    operators.push_back(cases.matrix(d, d));
  }
  const int original = parallelThreadCount();
  std::vector<std::string> results;
  for (int threads : {1, 2, 3}) {
    setParallelThreads(threads);
    std::string text;
    for (size_t i = 0; i < positions.size(); ++i) {
      Matrix out;
      kernels::applyOperator(dims, positions[i], operators[i], v, out);
      text += bitText(out);
    }
    for (int32_t k : {0, 2, 10}) text += bitText(kernels::subsystemProbabilities(v, dims, k));
    Matrix collapsed;
    kernels::collapseSubsystem(v, dims, 2, 3, 0.25, collapsed);
    text += bitText(collapsed);
    Matrix product;
    kernels::tensorProduct(operators[1], v, product);
    text += bitText(product);
    results.push_back(text);
  }
  setParallelThreads(original);
  EXPECT_EQ(results[1], results[0]);
  EXPECT_EQ(results[2], results[0]);
}

TEST(QuantumKernels, ParallelForCoversEveryIndexOnce) {
  const int original = parallelThreadCount();
  setParallelThreads(3);
  for (int64_t n : {0, 1, 5, 1000, 4097}) {
    std::vector<int> hits(static_cast<size_t>(n), 0);
    parallelFor(n, 64, [&](int64_t begin, int64_t end) {
      for (int64_t i = begin; i < end; ++i) ++hits[static_cast<size_t>(i)];
    });
    EXPECT_EQ(std::count(hits.begin(), hits.end(), 1), n);
  }
  setParallelThreads(original);
}

TEST(QubitKernels, AnyQubitsInAnyOrderMatchThePermutedDenseOperator) {
  RandomCases cases(23);
  for (int trial = 0; trial < 400; ++trial) {
    const int32_t n = 1 + cases.below(5);
    const int32_t k = 1 + cases.below(std::min(n, 3));
    // k distinct qubits in random order: the first k of a shuffled register.
    std::vector<int32_t> shuffled;
    for (int32_t q = 0; q < n; ++q) shuffled.insert(shuffled.begin() + cases.below(q + 1), q);
    const std::vector<int32_t> qubits(shuffled.begin(), shuffled.begin() + k);
    const Matrix g = cases.matrix(1 << k, 1 << k);
    const Matrix v = cases.matrix(1 << n, 1);
    Matrix dense;
    reference::applyToQubits(g, qubits, v, dense);
    Matrix fast;
    kernels::applyToQubits(g, qubits, v, fast);
    ASSERT_EQ(bitText(fast), bitText(dense)) << "n " << n << " qubits " << dimsText(qubits);
  }
}

TEST(QubitKernels, TermsAddInStateIndexOrderNotOperatorIndexOrder) {
  // Qubits (0, 2): operator column 1 is state offset 4, column 2 offset 1.
  // Row 0 of the operator is all ones and the inputs at offsets 0, 1, 4, 5
  // are 2^53, 1, -2^53, 1: in state order (2^53 + 1) rounds to 2^53, minus
  // 2^53 is 0, plus 1 is 1; in operator order it would be 2.
  Matrix g;
  g.setSize(4, 4);
  for (int32_t c = 0; c < 4; ++c) g.setElement(0, c, Complex{1.0, 0.0});
  Matrix v;
  v.setSize(8, 1);
  v.data[0] = Complex{std::ldexp(1.0, 53), 0.0};
  v.data[1] = Complex{1.0, 0.0};
  v.data[4] = Complex{-std::ldexp(1.0, 53), 0.0};
  v.data[5] = Complex{1.0, 0.0};
  Matrix fast;
  kernels::applyToQubits(g, {0, 2}, v, fast);
  EXPECT_EQ(fast.data[0].re, 1.0);
  Matrix dense;
  reference::applyToQubits(g, {0, 2}, v, dense);
  EXPECT_EQ(bitText(fast), bitText(dense));
}

TEST(QubitKernels, QubitMeasurementMatchesTheRowByRowWalk) {
  // Any row count (not only powers of two), low and high qubits, and a qubit
  // from 31 on that no row has; a second column rides along untouched.
  RandomCases cases(41);
  for (int32_t rows : {1, 2, 7, 13, 64, 100, 1031}) {
    const Matrix v = cases.matrix(rows, 2);
    for (int32_t bit : {0, 1, 2, 3, 6, 30, 31, 40}) {
      auto hasBit = [bit](int32_t row) { return bit < 31 && ((row >> bit) & 1) != 0; };
      double p0 = 0.0;
      for (int32_t i = 0; i < rows; ++i) {
        if (!hasBit(i)) p0 += kernels::squaredModulus(v.data[static_cast<size_t>(i)]);
      }
      ASSERT_EQ(bits(kernels::qubitZeroProbability(v, bit)), bits(p0)) << rows << " rows, bit " << bit;
      for (int32_t outcome : {0, 1}) {
        Matrix plain = v;
        Matrix fast = v;
        for (int32_t i = 0; i < rows; ++i) {
          plain.data[static_cast<size_t>(i)] = hasBit(i) == (outcome == 1)
                                                   ? complexProduct(v.data[static_cast<size_t>(i)], Complex{0.75, 0.0})
                                                   : Complex{0.0, 0.0};
        }
        kernels::collapseQubit(v, bit, outcome, 0.75, fast);
        ASSERT_EQ(bitText(fast), bitText(plain)) << rows << " rows, bit " << bit << ", outcome " << outcome;
      }
    }
  }
}
