// The strided kernels against the dense algorithms they replace, compared by
// bit pattern: -0 and 0 must not be confused, and a different order of
// additions shows up in the last bits.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <optional>
#include <bit>
#include <random>
#include <string>
#include <vector>

#include "quantum/chunk_draws.h"
#include "quantum/chunked_sums.h"
#include "quantum/circuit.h"
#include "quantum/gate_kernels.h"
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
  for (const Complex& e : m.data) {
    // Appended part by part (GCC 12 warns falsely about the temporaries).
    text += ' ';
    text += std::to_string(bits(e.re));
    text += ',';
    text += std::to_string(bits(e.im));
  }
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


// One fast kernel and its twin in reference.h, run on a random case: the two
// results as bit texts, and what the case was.
struct PairRun {
  std::string fast;
  std::string plain;
  std::string what;
};

struct KernelPair {
  const char* name;
  PairRun (*run)(RandomCases&);
};

// A random system with a long last subsystem at times, so states hold whole
// blocks and tiles of a run (small enough for the dense walks).
std::vector<int32_t> pairDims(RandomCases& cases) {
  std::vector<int32_t> dims = cases.dims();
  const int32_t run = 40 + cases.below(40);
  if (cases.below(3) == 0 && product(dims) * run <= 600) dims.push_back(run);
  return dims;
}

// The listed qubits of a register of [n]: [k] distinct ones in random order.
std::vector<int32_t> someQubits(RandomCases& cases, int32_t n, int32_t k) {
  std::vector<int32_t> shuffled;
  for (int32_t q = 0; q < n; ++q) shuffled.insert(shuffled.begin() + cases.below(q + 1), q);
  return {shuffled.begin(), shuffled.begin() + k};
}

// A 2^k × 2^k gate of one of the forms the gate kernels tell apart: dense
// (complex, or real with signed zeros in the imaginary parts), diagonal with
// some unit entries, a permutation with or without phases, a controlled
// dense gate, the identity, a transposition.
Matrix structuredGate(RandomCases& cases, int32_t k) {
  const int32_t dim = int32_t{1} << k;
  const int32_t form = cases.below(7);
  std::vector<int32_t> perm = someQubits(cases, dim, dim);
  if (form == 6) {
    for (int32_t i = 0; i < dim; ++i) perm[static_cast<size_t>(i)] = i < 2 ? 1 - i : i;
  }
  auto value = [&cases] { return Complex{cases.value(), cases.value()}; };
  Matrix g;
  g.setSize(dim, dim);
  for (int32_t c = 0; c < dim; ++c) {
    for (int32_t r = 0; r < dim; ++r) {
      Complex e{0.0, 0.0};
      const bool high = r >= dim / 2 && c >= dim / 2;
      switch (form) {
        case 0: e = value(); break;
        case 1: e = Complex{cases.value(), cases.below(2) == 0 ? 0.0 : -0.0}; break;
        case 2: if (r == c) e = cases.below(2) == 0 ? Complex{1.0, -0.0} : value(); break;
        case 3: if (r == perm[static_cast<size_t>(c)]) e = cases.below(2) == 0 ? Complex{1.0, 0.0} : value(); break;
        case 4: e = high ? value() : Complex{r == c ? 1.0 : 0.0, 0.0}; break;
        default: if (r == (form == 5 ? c : perm[static_cast<size_t>(c)])) e = Complex{1.0, 0.0}; break;
      }
      g.setElement(r, c, e);
    }
  }
  return g;
}

const KernelPair kPairs[] = {
    {"tensorProduct",
     [](RandomCases& cases) {
       const Matrix a = cases.matrix(1 + cases.below(5), 1 + cases.below(3));
       const Matrix b = cases.matrix(1 + cases.below(40), 1 + cases.below(3));
       Matrix fast, plain;
       kernels::tensorProduct(a, b, fast);
       reference::tensorProduct(a, b, plain);
       return PairRun{bitText(fast), bitText(plain), ""};
     }},
    {"applyOperator",
     [](RandomCases& cases) {
       // At every position, inside the system and out; mostly a square
       // operator of the subsystem's size, sometimes another shape that only
       // fits the state as a whole.
       const std::vector<int32_t> dims = pairDims(cases);
       const int32_t k = cases.below(static_cast<int32_t>(dims.size()) + 2) - 1;
       const bool inSystem = k >= 0 && k < static_cast<int32_t>(dims.size());
       int32_t gRows = inSystem ? dims[static_cast<size_t>(k)] : 2;
       int32_t gCols = gRows;
       if (cases.below(4) == 0) {
         gRows = 1 + cases.below(4);
         gCols = 1 + cases.below(4);
       }
       const Matrix g = cases.matrix(gRows, gCols);
       const int64_t rows = kernels::widenedShape(dims, k, g).cols;
       if (rows > 4096) return PairRun{};
       const Matrix v = cases.matrix(static_cast<int32_t>(rows), 1 + cases.below(3));
       Matrix fast, plain;
       kernels::applyOperator(dims, k, g, v, fast);
       reference::applyOperator(dims, k, g, v, plain);
       return PairRun{bitText(fast), bitText(plain), "dims " + dimsText(dims) + " k " + std::to_string(k)};
     }},
    {"subsystemProbabilities",
     [](RandomCases& cases) {
       // Gathered in tiles of every extent down to one square.
       const std::vector<int32_t> dims = pairDims(cases);
       const Matrix v = cases.matrix(static_cast<int32_t>(product(dims)), 1);
       const int32_t k = cases.below(static_cast<int32_t>(dims.size()));
       const size_t tile = std::vector<size_t>{1, 7, 64, 0}[static_cast<size_t>(cases.below(4))];
       return PairRun{bitText(kernels::subsystemProbabilities(v, dims, k, tile)),
                      bitText(reference::subsystemProbabilities(v, dims, k)),
                      "dims " + dimsText(dims) + " k " + std::to_string(k) + " tile " + std::to_string(tile)};
     }},
    {"collapseSubsystem",
     [](RandomCases& cases) {
       const std::vector<int32_t> dims = pairDims(cases);
       const Matrix v = cases.matrix(static_cast<int32_t>(product(dims)), 1);
       const int32_t k = cases.below(static_cast<int32_t>(dims.size()));
       const int32_t outcome = cases.below(dims[static_cast<size_t>(k)]);
       const double root = std::sqrt(std::fabs(cases.value()) + 0.25);
       Matrix fast, plain;
       kernels::collapseSubsystem(v, dims, k, outcome, root, fast);
       reference::collapseSubsystem(v, dims, k, outcome, root, plain);
       return PairRun{bitText(fast), bitText(plain),
                      "dims " + dimsText(dims) + " k " + std::to_string(k) + " outcome " + std::to_string(outcome)};
     }},
    {"applyToQubits",
     [](RandomCases& cases) {
       // Any qubits in any order.
       const int32_t n = 1 + cases.below(6);
       const int32_t k = 1 + cases.below(std::min(n, 3));
       const std::vector<int32_t> qubits = someQubits(cases, n, k);
       const Matrix g = cases.matrix(1 << k, 1 << k);
       const Matrix v = cases.matrix(1 << n, 1);
       Matrix fast, plain;
       kernels::applyToQubits(g, qubits, v, fast);
       reference::applyToQubits(g, qubits, v, plain);
       return PairRun{bitText(fast), bitText(plain), "n " + std::to_string(n) + " qubits " + dimsText(qubits)};
     }},
    {"qubitZeroProbability",
     [](RandomCases& cases) {
       // Any row count, low and high qubits, and qubits from 31 on that no
       // row has.
       const Matrix v = cases.matrix(1 + cases.below(1100), 2);
       const int32_t bit = std::vector<int32_t>{0, 1, 2, 3, 6, 9, 30, 31, 40}[static_cast<size_t>(cases.below(9))];
       return PairRun{std::to_string(bits(kernels::qubitZeroProbability(v, bit))),
                      std::to_string(bits(reference::qubitZeroProbability(v, bit))),
                      std::to_string(v.rows) + " rows, bit " + std::to_string(bit)};
     }},
    {"collapseQubit",
     [](RandomCases& cases) {
       // A second column rides along untouched.
       const Matrix v = cases.matrix(1 + cases.below(1100), 2);
       const int32_t bit = std::vector<int32_t>{0, 1, 2, 3, 6, 9, 30, 31, 40}[static_cast<size_t>(cases.below(9))];
       const int32_t outcome = cases.below(2);
       Matrix fast = v;
       Matrix plain = v;
       kernels::collapseQubit(v, bit, outcome, 0.75, fast);
       reference::collapseQubit(v, bit, outcome, 0.75, plain);
       return PairRun{bitText(fast), bitText(plain), std::to_string(v.rows) + " rows, bit " + std::to_string(bit)};
     }},
    {"applyGates",
     [](RandomCases& cases) {
       // A gate sequence of every form on any qubits, cut into blocks of
       // every shape down to one qubit, in place or not, through the wide
       // one-qubit loops or the baseline ones; states large enough at times
       // for several blocks with runs along the low qubits.
       const int32_t n = cases.below(8) == 0 ? 9 + cases.below(4) : 1 + cases.below(8);
       const int32_t count = cases.below(n > 8 ? 8 : 25);
       std::vector<Matrix> matrices;
       std::vector<kernels::CircuitGate> gates;
       for (int32_t i = 0; i < count; ++i) {
         const int32_t k = 1 + cases.below(std::min(n, 4));
         matrices.push_back(structuredGate(cases, k));
         gates.push_back({nullptr, someQubits(cases, n, k)});
       }
       for (size_t i = 0; i < gates.size(); ++i) gates[i].matrix = &matrices[i];
       const kernels::BlockShape shape = std::vector<kernels::BlockShape>{
           {1, 0}, {2, 1}, {4, 0}, {5, 2}, {}}[static_cast<size_t>(cases.below(5))];
       const bool inPlace = cases.below(2) == 0;
       const bool wide = cases.below(2) == 0;
       const Matrix v = cases.matrix(1 << n, 1);
       Matrix fast = v;
       Matrix plain = v;
       if (!inPlace) fast.setSize(v.rows, 1);
       kernels::allowWideLoops(wide);
       kernels::applyGates(gates, n, v.data.data(), fast.data.data(), shape);
       kernels::allowWideLoops(true);
       reference::applyGates(gates, n, plain.data.data(), plain.data.data(), shape);
       return PairRun{bitText(fast), bitText(plain),
                      "n " + std::to_string(n) + ", " + std::to_string(count) + " gates, block " +
                          std::to_string(shape.blockQubits) + "/" + std::to_string(shape.lowQubits) +
                          (inPlace ? " in place" : "") + (wide ? "" : ", baseline loops")};
     }},
};

void PrintTo(const KernelPair& pair, std::ostream* out) { *out << pair.name; }

class KernelPairs : public testing::TestWithParam<KernelPair> {};

TEST_P(KernelPairs, FastMatchesPlainBitForBitAtEveryThreadCount) {
  const int original = parallelThreadCount();
  for (int threads : {1, 2, 3}) {
    setParallelThreads(threads);
    RandomCases cases(17);
    for (int trial = 0; trial < 150; ++trial) {
      const PairRun run = GetParam().run(cases);
      ASSERT_EQ(run.fast, run.plain) << run.what << " at " << threads << " threads";
    }
  }
  setParallelThreads(original);
}

INSTANTIATE_TEST_SUITE_P(EveryKernel, KernelPairs, testing::ValuesIn(kPairs),
                         [](const testing::TestParamInfo<KernelPair>& info) { return std::string(info.param.name); });

}  // namespace

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

TEST(QuantumKernels, GatesAreToldApartByTheirStructure) {
  // Each gate goes to the kernel of its form (the pairs above check the
  // bits; a gate wrongly taken for a dense one would pass them slowly).
  using Form = kernels::PreparedGate::Form;
  auto formOf = [](std::vector<Complex> entries, std::vector<int32_t> qubits) {
    Matrix g;
    const int32_t dim = int32_t{1} << qubits.size();
    g.setSize(dim, dim);
    for (int32_t i = 0; i < dim * dim; ++i) g.data[static_cast<size_t>(i)] = entries[static_cast<size_t>(i)];
    return kernels::PreparedGate(g, qubits).form();
  };
  const Complex o{0, 0}, l{1, 0}, h{std::sqrt(0.5), 0}, i{0, 1};
  EXPECT_EQ(formOf({h, h, h, {-h.re, 0}}, {3}), Form::OneQubitDense);
  EXPECT_EQ(formOf({l, o, o, i}, {0}), Form::OneQubitDiagonal);
  EXPECT_EQ(formOf({o, l, l, o}, {0}), Form::Transposition);
  // CX, column-major, control on the high bit: columns 2 and 3 swap.
  EXPECT_EQ(formOf({l, o, o, o, o, l, o, o, o, o, o, l, o, o, l, o}, {4, 1}), Form::Transposition);
  EXPECT_EQ(formOf({l, o, o, o, o, l, o, o, o, o, l, o, o, o, o, {-1, 0}}, {0, 1}), Form::Diagonal);
  EXPECT_EQ(formOf({l, o, o, o, o, l, o, o, o, o, h, h, o, o, h, {-h.re, 0}}, {0, 1}), Form::SparseRows);
  EXPECT_EQ(formOf({l, o, o, l}, {2}), Form::Identity);
}

namespace {

// The chunked rule written out plainly: every chunk's sum for [o] (zero
// where it holds none of o's rows), then the tree over all of them.
double pairwiseOver(const std::vector<double>& sums, size_t first, size_t count) {
  if (count == 1) return sums[first];
  const size_t half = std::bit_floor(count - 1);
  return pairwiseOver(sums, first, half) + pairwiseOver(sums, first + half, count - half);
}

double plainChunkedSum(const Matrix& v, const std::function<bool(size_t)>& counts) {
  std::vector<double> sums((v.data.size() + kernels::kChunkRows - 1) / kernels::kChunkRows, 0.0);
  for (size_t r = 0; r < v.data.size(); ++r) {
    if (counts(r)) sums[r / kernels::kChunkRows] += kernels::squaredModulus(v.data[r]);
  }
  // A count that is not a power of two: the complete subtrees, the smallest first.
  double total = 0.0;
  bool any = false;
  size_t first = sums.size();
  for (size_t size = 1; size <= sums.size(); size <<= 1) {
    if ((sums.size() & size) == 0) continue;
    first -= size;
    total = any ? pairwiseOver(sums, first, size) + total : pairwiseOver(sums, first, size);
    any = true;
  }
  return total;
}

}  // namespace

TEST(ChunkedSums, MatchThePlainRuleAtEveryThreadCount) {
  std::mt19937 random(5);
  std::uniform_real_distribution<double> amplitude(-1.0, 1.0);
  const std::vector<std::vector<int32_t>> systems = {{2, 2048}, {4096}, {16, 2, 128}, {3, 500}, {5, 3, 7, 11}};
  const int original = parallelThreadCount();
  for (const std::vector<int32_t>& dims : systems) {
    Matrix v;
    int32_t rows = 1;
    for (int32_t d : dims) rows *= d;
    v.setSize(rows, 1);
    for (Complex& a : v.data) a = Complex{amplitude(random), amplitude(random)};
    for (int32_t k = 0; k < static_cast<int32_t>(dims.size()); ++k) {
      size_t run = 1;
      for (size_t s = static_cast<size_t>(k) + 1; s < dims.size(); ++s) run *= static_cast<size_t>(dims[s]);
      for (int threads : {1, 3}) {
        setParallelThreads(threads);
        const std::vector<double> p = kernels::subsystemProbabilitiesInChunks(v, dims, k);
        for (size_t o = 0; o < p.size(); ++o) {
          const double plain = plainChunkedSum(v, [&](size_t r) { return r / run % p.size() == o; });
          ASSERT_EQ(p[o], plain) << "outcome " << o << " of subsystem " << k << " of " << rows << " rows";
        }
      }
    }
    for (int32_t bit : {0, 7, 8, 11, 12, 40}) {
      const double plain = plainChunkedSum(v, [&](size_t r) { return bit >= 62 || ((r >> bit) & 1) == 0; });
      EXPECT_EQ(kernels::qubitZeroProbabilityInChunks(v, bit), plain) << "qubit " << bit << " of " << rows << " rows";
    }
    EXPECT_EQ(kernels::squaredNormInChunks(v), plainChunkedSum(v, [](size_t) { return true; }));
  }
  // Four slices of a column of 2^12 rows: their own sums, added pairwise,
  // are the whole column's.
  Matrix v;
  v.setSize(4096, 1);
  for (Complex& a : v.data) a = Complex{amplitude(random), amplitude(random)};
  for (const std::vector<int32_t>& dims : {std::vector<int32_t>{2, 2048}, {8, 2, 256}, {4096}, {512, 8}}) {
    for (int32_t k = 0; k < static_cast<int32_t>(dims.size()); ++k) {
      size_t run = 1;
      for (size_t s = static_cast<size_t>(k) + 1; s < dims.size(); ++s) run *= static_cast<size_t>(dims[s]);
      const std::vector<double> whole = kernels::subsystemProbabilitiesInChunks(v, dims, k);
      for (size_t o = 0; o < whole.size(); ++o) {
        kernels::PairwiseSum sum;
        for (size_t r = 0; r < 4; ++r) {
          sum.add(r, kernels::outcomeSumInChunks(v.data.data() + r * 1024, r * 1024, 1024, whole.size(), run, o));
        }
        ASSERT_EQ(sum.total(4), whole[o]) << "outcome " << o << " of subsystem " << k;
      }
    }
  }
  setParallelThreads(original);
}

namespace {

// The draw rule of chunk_draws.h written out plainly: down the tree of
// chunk sums, then the running sum row by row in the chunk reached.
size_t plainChunkDraw(const Matrix& v, double u) {
  std::vector<double> sums(v.data.size() / kernels::kChunkRows, 0.0);
  for (size_t r = 0; r < v.data.size(); ++r) sums[r / kernels::kChunkRows] += kernels::squaredModulus(v.data[r]);
  const double total = pairwiseOver(sums, 0, sums.size());
  size_t first = 0;
  double before = 0.0;
  for (size_t count = sums.size(); count > 1; count /= 2) {
    const double left = pairwiseOver(sums, first, count / 2);
    const double right = pairwiseOver(sums, first + count / 2, count / 2);
    if (right != 0.0 && (left == 0.0 || !(u < (before + left) / total))) {
      before = before + left;
      first += count / 2;
    }
  }
  size_t last = 0;
  for (size_t r = first * kernels::kChunkRows; r < (first + 1) * kernels::kChunkRows; ++r) {
    const double p = kernels::squaredModulus(v.data[r]);
    if (p == 0.0) continue;
    before = before + p;
    last = r;
    if (u < before / total) break;
  }
  return last;
}

}  // namespace

TEST(ChunkDraws, FollowThePlainRuleAndNeverLandOnAnOutcomeOfProbabilityZero) {
  std::mt19937 random(9);
  std::uniform_real_distribution<double> amplitude(-1.0, 1.0);
  Matrix v;
  v.setSize(8192, 1);
  for (size_t r = 0; r < v.data.size(); ++r) {
    // Whole chunks and subtrees of zeros (the last ones too), and zeros
    // scattered among the rest.
    const bool zero = r < 512 || (r >= 2048 && r < 3072) || r >= 7936 || r % 7 == 3;
    v.data[r] = zero ? Complex{} : Complex{amplitude(random), amplitude(random)};
  }
  const kernels::ChunkTree tree(v);
  EXPECT_EQ(tree.total(), plainChunkedSum(v, [](size_t) { return true; }));
  std::vector<double> draws = {0.0, std::nextafter(1.0, 0.0)};
  std::uniform_real_distribution<double> uniform(0.0, 1.0);
  for (int i = 0; i < 3000; ++i) draws.push_back(uniform(random));
  for (double u : draws) {
    const std::optional<size_t> row = tree.row(u);
    ASSERT_TRUE(row.has_value());
    ASSERT_EQ(*row, plainChunkDraw(v, u)) << "draw " << u;
    ASSERT_NE(kernels::squaredModulus(v.data[*row]), 0.0) << "draw " << u;
  }
}
