// The blocked, structure-aware gate kernels against the dense per-gate
// kernel of apply_qubits, compared by bit pattern on random circuits: every
// kind of gate the kernels tell apart, at several thread counts and block
// shapes down to one gate per pass.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "quantum/circuit.h"
#include "quantum/gate_kernels.h"
#include "quantum/parallel.h"
#include "quantum/qubit_kernels.h"

namespace {

std::string bitText(const Matrix& m) {
  std::string text;
  for (const Complex& e : m.data) {
    uint64_t re, im;
    std::memcpy(&re, &e.re, sizeof re);
    std::memcpy(&im, &e.im, sizeof im);
    text += std::to_string(re) + "," + std::to_string(im) + " ";
  }
  return text;
}

// Gates of every form the kernels tell apart, with awkward values: signed
// zeros in states, exact cancellations, real and complex entries.
class RandomCircuits {
 public:
  explicit RandomCircuits(unsigned seed) : generator_(seed) {}

  int32_t below(int32_t n) { return std::uniform_int_distribution<int32_t>(0, n - 1)(generator_); }
  double uniform() { return std::uniform_real_distribution<double>(-1, 1)(generator_); }
  Complex value() {
    switch (below(6)) {
      case 0:
        return Complex{0.0, -0.0};
      case 1:
        return Complex{-0.0, uniform()};
      case 2:
        return Complex{static_cast<double>(below(5) - 2), 0.0};
      default:
        return Complex{uniform(), uniform()};
    }
  }

  Matrix state(int32_t n) {
    Matrix v;
    v.setSize(int32_t{1} << n, 1);
    for (Complex& e : v.data) e = value();
    return v;
  }

  // A 2^k × 2^k matrix of one of the forms: dense (real or complex), a
  // diagonal with some unit entries, a permutation with or without phases,
  // a controlled dense gate, the identity.
  Matrix gate(int32_t k) {
    const int32_t dim = int32_t{1} << k;
    Matrix g;
    g.setSize(dim, dim);
    const int32_t form = below(7);
    std::vector<int32_t> perm(static_cast<size_t>(dim));
    for (int32_t i = 0; i < dim; ++i) perm[static_cast<size_t>(i)] = i;
    std::shuffle(perm.begin(), perm.end(), generator_);
    if (form == 6 && dim > 1) std::swap(perm[0], perm[1]);  // one transposition
    for (int32_t c = 0; c < dim; ++c) {
      for (int32_t r = 0; r < dim; ++r) {
        Complex e{0.0, 0.0};
        switch (form) {
          case 0:
            e = value();
            break;
          case 1:
            e = Complex{uniform(), below(2) == 0 ? 0.0 : -0.0};
            break;
          case 2:
            if (r == c) e = below(2) == 0 ? Complex{1.0, -0.0} : value();
            break;
          case 3:
            if (r == perm[static_cast<size_t>(c)]) e = below(2) == 0 ? Complex{1.0, 0.0} : value();
            break;
          case 4:
            if (r < dim / 2 || c < dim / 2) {
              if (r == c) e = Complex{1.0, 0.0};
            } else {
              e = value();
            }
            break;
          case 5:
            if (r == c) e = Complex{1.0, 0.0};
            break;
          default:
            if (r == (c < 2 ? 1 - c : c)) e = Complex{1.0, 0.0};
            break;
        }
        g.setElement(r, c, e);
      }
    }
    return g;
  }

  std::vector<int32_t> qubits(int32_t n, int32_t k) {
    std::vector<int32_t> all(static_cast<size_t>(n));
    for (int32_t q = 0; q < n; ++q) all[static_cast<size_t>(q)] = q;
    std::shuffle(all.begin(), all.end(), generator_);
    return std::vector<int32_t>(all.begin(), all.begin() + k);
  }

 private:
  std::mt19937 generator_;
};

}  // namespace

TEST(CircuitKernels, BlockedPassesGiveTheBitsOfOneDenseGateAtATime) {
  RandomCircuits random(5);
  const int original = parallelThreadCount();
  for (int trial = 0; trial < 40; ++trial) {
    const int32_t n = 1 + random.below(trial < 30 ? 8 : 13);
    const Matrix start = random.state(n);
    std::vector<Matrix> matrices;
    std::vector<std::vector<int32_t>> qubits;
    const int32_t count = 1 + random.below(30);
    for (int32_t i = 0; i < count; ++i) {
      const int32_t k = 1 + random.below(std::min(n, 4));
      matrices.push_back(random.gate(k));
      qubits.push_back(random.qubits(n, k));
    }
    Matrix expected = start;
    for (size_t i = 0; i < matrices.size(); ++i) {
      Matrix next;
      kernels::applyToQubits(matrices[i], qubits[i], expected, next);
      expected = std::move(next);
    }
    std::vector<kernels::CircuitGate> gates;
    for (size_t i = 0; i < matrices.size(); ++i) gates.push_back({&matrices[i], qubits[i]});
    for (int threads : {1, 2, 3}) {
      setParallelThreads(threads);
      kernels::allowWideLoops(threads != 3);  // the baseline loops too
      for (kernels::BlockShape shape : {kernels::BlockShape{1, 0}, kernels::BlockShape{2, 1}, kernels::BlockShape{4, 0},
                                        kernels::BlockShape{5, 2}, kernels::BlockShape{}}) {
        Matrix outOfPlace;
        outOfPlace.setSize(start.rows, 1);
        kernels::applyGates(gates, n, start.data.data(), outOfPlace.data.data(), shape);
        ASSERT_EQ(bitText(outOfPlace), bitText(expected))
            << "trial " << trial << " threads " << threads << " block " << shape.blockQubits << "/" << shape.lowQubits;
        Matrix inPlace = start;
        kernels::applyGates(gates, n, inPlace.data.data(), inPlace.data.data(), shape);
        ASSERT_EQ(bitText(inPlace), bitText(expected));
      }
    }
  }
  setParallelThreads(original);
  kernels::allowWideLoops(true);
}

TEST(CircuitKernels, GatesAreToldApartByTheirStructure) {
  using Form = kernels::PreparedGate::Form;
  RandomCircuits random(9);
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
