#include "quantum/reference.h"

#include <algorithm>
#include <utility>

#include "quantum/kernels.h"
#include "quantum/qubit_bits.h"
#include "runtime/break_flag.h"

namespace reference {

namespace {

// Advances the indices other than [k] like an odometer, subsystem 0 first.
void advanceOdometer(const std::vector<int32_t>& dims, int32_t k, std::vector<int32_t>& x) {
  for (size_t s = 0; s < dims.size(); ++s) {
    if (static_cast<int32_t>(s) == k) continue;
    if (++x[s] < dims[s]) return;
    x[s] = 0;
  }
}

int64_t otherStates(const std::vector<int32_t>& dims, int32_t k) {
  int64_t t = 1;
  for (size_t s = 0; s < dims.size(); ++s) {
    if (static_cast<int32_t>(s) != k) t *= dims[s];
  }
  return t;
}

}  // namespace

void tensorProduct(const Matrix& a, const Matrix& b, Matrix& out) {
  if (!kernels::shapeTensorProduct(a, b, out)) return;
  // Column ja·b.cols + jb of out is column ja of a times column jb of b,
  // written once in storage order.
  Complex* target = out.data.data();
  BreakPoll poll;
  for (int32_t ja = 0; ja < a.cols; ++ja) {
    for (int32_t jb = 0; jb < b.cols; ++jb) {
      poll.throwAfter(static_cast<uint64_t>(out.rows));
      for (int32_t ia = 0; ia < a.rows; ++ia) {
        const Complex factor = a(ia, ja);
        for (int32_t ib = 0; ib < b.rows; ++ib) *target++ = complexProduct(factor, b(ib, jb));
      }
    }
  }
}

void applyOperator(const std::vector<int32_t>& dims, int32_t k, const Matrix& g, const Matrix& v, Matrix& out) {
  if (k < 0 || static_cast<size_t>(k) >= dims.size()) {
    out = v;
    return;
  }
  Matrix op;
  op.setSize(1, 1);
  op.setElement(0, 0, Complex{1.0, 0.0});
  Matrix identity;
  Matrix work;
  for (size_t s = 0; s < dims.size(); ++s) {
    if (static_cast<int32_t>(s) == k) {
      tensorProduct(op, g, work);
    } else {
      identity.setSize(dims[s], dims[s]);
      identity.setIdentity();
      tensorProduct(op, identity, work);
    }
    assignMatrix(op, work);
  }
  multiply(op, v, out);
}

Matrix basisVector(const std::vector<int32_t>& dims, const std::vector<int32_t>& x) {
  Matrix basis;
  basis.setSize(1, 1);
  basis.setElement(0, 0, Complex{1.0, 0.0});
  Matrix unit;
  Matrix work;
  for (size_t s = 0; s < dims.size(); ++s) {
    unit.setSize(dims[s], 1);
    unit.setZero();
    unit.setElement(x[s], 0, Complex{1.0, 0.0});
    tensorProduct(basis, unit, work);
    assignMatrix(basis, work);
  }
  return basis;
}

std::vector<double> subsystemProbabilities(const Matrix& v, const std::vector<int32_t>& dims, int32_t k) {
  const int32_t outcomes = dims[static_cast<size_t>(k)];
  const int64_t steps = otherStates(dims, k);
  std::vector<double> p(static_cast<size_t>(outcomes), 0.0);
  std::vector<int32_t> x(dims.size(), 0);
  for (int32_t o = 0; o < outcomes; ++o) {
    x[static_cast<size_t>(k)] = o;
    for (int64_t step = 0; step < steps; ++step) {
      const Complex a = dotProduct(basisVector(dims, x), v);
      p[static_cast<size_t>(o)] += kernels::squaredModulus(a);
      advanceOdometer(dims, k, x);
    }
  }
  return p;
}

void collapseSubsystem(const Matrix& v, const std::vector<int32_t>& dims, int32_t k, int32_t outcome,
                       double rootProbability, Matrix& out) {
  Matrix collapsed;
  collapsed.setSize(v.rows, 1);
  collapsed.setZero();
  Matrix work;
  std::vector<int32_t> x(dims.size(), 0);
  x[static_cast<size_t>(k)] = outcome;
  const int64_t steps = otherStates(dims, k);
  for (int64_t step = 0; step < steps; ++step) {
    Matrix basis = basisVector(dims, x);
    const Complex a = dotProduct(basis, v);
    basis.scale(Complex{a.re / rootProbability, a.im / rootProbability});
    addMatrix(collapsed, basis, work);
    assignMatrix(collapsed, work);
    advanceOdometer(dims, k, x);
  }
  out = std::move(collapsed);
}

void applyToQubits(const Matrix& g, const std::vector<int32_t>& qubits, const Matrix& v, Matrix& out) {
  const int32_t k = static_cast<int32_t>(qubits.size());
  int32_t n = 0;
  while ((int32_t{1} << n) < v.rows) ++n;
  Matrix identity;
  identity.setSize(int32_t{1} << (n - k), int32_t{1} << (n - k));
  identity.setIdentity();
  Matrix widened;
  tensorProduct(g, identity, widened);

  // Where each qubit goes: the listed ones to the top, the rest below.
  std::vector<int32_t> destination(static_cast<size_t>(n), -1);
  for (int32_t m = 0; m < k; ++m) destination[static_cast<size_t>(qubits[static_cast<size_t>(m)])] = n - 1 - m;
  int32_t next = 0;
  for (int32_t& d : destination) {
    if (d < 0) d = next++;
  }
  const int32_t side = v.rows;
  Matrix permutation;
  permutation.setSize(side, side);
  Matrix inverse;
  inverse.setSize(side, side);
  for (int32_t i = 0; i < side; ++i) {
    int32_t moved = 0;
    for (int32_t j = 0; j < n; ++j) {
      if (((i >> j) & 1) != 0) moved |= int32_t{1} << destination[static_cast<size_t>(j)];
    }
    permutation.setElement(moved, i, Complex{1.0, 0.0});
    inverse.setElement(i, moved, Complex{1.0, 0.0});
  }
  Matrix right;
  multiply(widened, permutation, right);
  Matrix full;
  multiply(inverse, right, full);
  multiply(full, v, out);
}

void applyGates(const std::vector<kernels::CircuitGate>& gates, int32_t n, const Complex* source, Complex* target,
                const kernels::BlockShape&) {
  const size_t length = size_t{1} << n;
  std::vector<Complex> state(source, source + length);
  std::vector<Complex> next(length);
  for (const kernels::CircuitGate& gate : gates) {
    const size_t k = gate.qubits.size();
    const size_t dim = size_t{1} << k;
    // The gate's qubits in ascending order, and for each the bit of the
    // matrix's index it stands for (qubits[0] the most significant).
    std::vector<std::pair<int32_t, size_t>> ascending;
    for (size_t m = 0; m < k; ++m) ascending.emplace_back(gate.qubits[m], k - 1 - m);
    std::sort(ascending.begin(), ascending.end());
    size_t mask = 0;
    for (const auto& [q, bit] : ascending) mask |= size_t{1} << q;
    // The matrix index of a state index.
    auto matrixIndex = [&](size_t i) {
      size_t index = 0;
      for (const auto& [q, bit] : ascending) index |= ((i >> q) & 1) << bit;
      return index;
    };
    for (size_t i = 0; i < length; ++i) {
      Complex sum{0.0, 0.0};
      // c counts through the gate's bits in ascending order, so the state
      // index j grows with it.
      for (size_t c = 0; c < dim; ++c) {
        size_t j = i & ~mask;
        for (size_t r = 0; r < k; ++r) j |= ((c >> r) & 1) << ascending[r].first;
        addProduct(sum, (*gate.matrix)(static_cast<int32_t>(matrixIndex(i)), static_cast<int32_t>(matrixIndex(j))),
                   state[j]);
      }
      next[i] = sum;
    }
    state.swap(next);
  }
  std::copy(state.begin(), state.end(), target);
}

double qubitZeroProbability(const Matrix& v, int32_t bit) {
  double p0 = 0.0;
  for (int32_t i = 0; i < (v.hasStorage() ? v.rows : 0); ++i) {
    if (!rowHasBit(static_cast<uint64_t>(i), bit)) p0 += kernels::squaredModulus(v(i, 0));
  }
  return p0;
}

void collapseQubit(const Matrix& v, int32_t bit, int32_t outcome, double factor, Matrix& out) {
  for (int32_t i = 0; i < (v.hasStorage() ? v.rows : 0); ++i) {
    const bool kept = rowHasBit(static_cast<uint64_t>(i), bit) == (outcome == 1);
    out(i, 0) = kept ? complexProduct(v(i, 0), Complex{factor, 0.0}) : Complex{0.0, 0.0};
  }
}

}  // namespace reference
