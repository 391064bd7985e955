#include <cmath>
#include <functional>
#include <map>
#include <numbers>

#include "extensions/qasm_gates.h"

const char* const kStandardHeaderName = "qelib1.inc";

const char* const kStandardHeaderText = R"QASM(// Standard gate header of OpenQASM 2.0
// file: qelib1.inc

// --- primitives ---

// 3-parameter 2-pulse single qubit gate
gate u3(theta,phi,lambda) q { U(theta,phi,lambda) q; }
// 2-parameter 1-pulse single qubit gate
gate u2(phi,lambda) q { U(pi/2,phi,lambda) q; }
// 1-parameter 0-pulse single qubit gate
gate u1(lambda) q { U(0,0,lambda) q; }
// controlled-NOT
gate cx c,t { CX c,t; }
// idle gate (identity)
gate id a { U(0,0,0) a; }
// idle gate (identity) with length gamma*sqglen
gate u0(gamma) q { U(0,0,0) q; }

// --- standard gates ---

// Pauli gate: bit-flip
gate x a { u3(pi,0,pi) a; }
// Pauli gate: bit and phase flip
gate y a { u3(pi,pi/2,pi/2) a; }
// Pauli gate: phase flip
gate z a { u1(pi) a; }
// Clifford gate: Hadamard
gate h a { u2(0,pi) a; }
// Clifford gate: sqrt(Z) phase gate
gate s a { u1(pi/2) a; }
// Clifford gate: conjugate of sqrt(Z)
gate sdg a { u1(-pi/2) a; }
// C3 gate: sqrt(S) phase gate
gate t a { u1(pi/4) a; }
// C3 gate: conjugate of sqrt(S)
gate tdg a { u1(-pi/4) a; }

// --- Standard rotations ---
// Rotation around X-axis
gate rx(theta) a { u3(theta, -pi/2,pi/2) a; }
// rotation around Y-axis
gate ry(theta) a { u3(theta,0,0) a; }
// rotation around Z axis
gate rz(phi) a { u1(phi) a; }

// --- Standard User-Defined Gates  ---

// controlled-Phase
gate cz a,b { h b; cx a,b; h b; }
// controlled-Y
gate cy a,b { sdg b; cx a,b; s b; }
// swap
gate swap a,b { cx a,b; cx b,a; cx a,b; }
// controlled-H
gate ch a,b {
h b; sdg b;
cx a,b;
h b; t b;
cx a,b;
t b; h b; s b; x b; s a;
}
// C3 gate: Toffoli
gate ccx a,b,c
{
  h c;
  cx b,c; tdg c;
  cx a,c; t c;
  cx b,c; tdg c;
  cx a,c; t b; t c; h c;
  cx a,b; t a; tdg b;
  cx a,b;
}
// cswap (Fredkin)
gate cswap a,b,c
{
  cx c,b;
  ccx a,b,c;
  cx c,b;
}
// controlled rx rotation
gate crx(lambda) a,b
{
  u1(pi/2) b;
  cx a,b;
  u3(-lambda/2,0,0) b;
  cx a,b;
  u3(lambda/2,-pi/2,0) b;
}
// controlled ry rotation
gate cry(lambda) a,b
{
  u3(lambda/2,0,0) b;
  cx a,b;
  u3(-lambda/2,0,0) b;
  cx a,b;
}
// controlled rz rotation
gate crz(lambda) a,b
{
  u1(lambda/2) b;
  cx a,b;
  u1(-lambda/2) b;
  cx a,b;
}
// controlled phase rotation
gate cu1(lambda) a,b
{
  u1(lambda/2) a;
  cx a,b;
  u1(-lambda/2) b;
  cx a,b;
  u1(lambda/2) b;
}
// controlled-U
gate cu3(theta,phi,lambda) c, t
{
  // implements controlled-U(theta,phi,lambda) with  target t and control c
  u1((lambda+phi)/2) c;
  u1((lambda-phi)/2) t;
  cx c,t;
  u3(-theta/2,0,-(phi+lambda)/2) t;
  cx c,t;
  u3(theta/2,phi,0) t;
}
// two-qubit XX rotation
gate rxx(theta) a,b
{
  u3(pi/2, theta, 0) a;
  h b;
  cx a,b;
  u1(-theta) b;
  cx a,b;
  h b;
  u2(-pi, pi-theta) a;
}
// two-qubit ZZ rotation
gate rzz(theta) a,b
{
  cx a,b;
  u1(theta) b;
  cx a,b;
}
// relative-phase CCX
gate rccx a,b,c
{
  u2(0,pi) c;
  u1(pi/4) c;
  cx b, c;
  u1(-pi/4) c;
  cx a, c;
  u1(pi/4) c;
  cx b, c;
  u1(-pi/4) c;
  u2(0,pi) c;
}
// relative-phase 3-controlled X gate
gate rc3x a,b,c,d
{
  u2(0,pi) d;
  u1(pi/4) d;
  cx c,d;
  u1(-pi/4) d;
  u2(0,pi) d;
  cx a,d;
  u1(pi/4) d;
  cx b,d;
  u1(-pi/4) d;
  cx a,d;
  u1(pi/4) d;
  cx b,d;
  u1(-pi/4) d;
  u2(0,pi) d;
  u1(pi/4) d;
  cx c,d;
  u1(-pi/4) d;
  u2(0,pi) d;
}
// 3-controlled X gate
gate c3x a,b,c,d
{
    h d; cu1(-pi/4) a,d; h d;
    cx a,b;
    h d; cu1(pi/4) b,d; h d;
    cx a,b;
    h d; cu1(-pi/4) b,d; h d;
    cx b,c;
    h d; cu1(pi/4) c,d; h d;
    cx a,c;
    h d; cu1(-pi/4) c,d; h d;
    cx b,c;
    h d; cu1(pi/4) c,d; h d;
    cx a,c;
    h d; cu1(-pi/4) c,d; h d;
}
// 3-controlled sqrt(X) gate, this equals the C3X gate where the CU1 rotations are -pi/8 not -pi/4
gate c3sqrtx a,b,c,d
{
    h d; cu1(-pi/8) a,d; h d;
    cx a,b;
    h d; cu1(pi/8) b,d; h d;
    cx a,b;
    h d; cu1(-pi/8) b,d; h d;
    cx b,c;
    h d; cu1(pi/8) c,d; h d;
    cx a,c;
    h d; cu1(-pi/8) c,d; h d;
    cx b,c;
    h d; cu1(pi/8) c,d; h d;
    cx a,c;
    h d; cu1(-pi/8) c,d; h d;
}
// 4-controlled X gate
gate c4x a,b,c,d,e
{
    h e; cu1(-pi/2) d,e; h e;
    c3x a,b,c,d;
    h d; cu1(pi/4) d,e; h d;
    c3x a,b,c,d;
    c3sqrtx a,b,c,e;
}

// --- Later additions in common use (accepted as part of the standard header) ---

// phase gate and the general single-qubit gate under their newer names
gate p(lambda) q { U(0,0,lambda) q; }
gate u(theta,phi,lambda) q { U(theta,phi,lambda) q; }
// square root of X and its inverse
gate sx a { sdg a; h a; sdg a; }
gate sxdg a { s a; h a; s a; }
// controlled phase and controlled square root of X
gate cp(lambda) a,b { p(lambda/2) a; cx a,b; p(-lambda/2) b; cx a,b; p(lambda/2) b; }
gate csx a,b { h b; cu1(pi/2) a,b; h b; }
)QASM";

namespace {

using Real = long double;

// An entry rounded once from its extended-precision value.
Complex rounded(Real re, Real im) { return Complex{static_cast<double>(re), static_cast<double>(im)}; }

// e^(iθ) as (cos θ, sin θ).
Complex phase(double theta) { return Complex{std::cos(theta), std::sin(theta)}; }

const double kHalfRoot = 0.70710678118654752440;  // the double nearest 1/√2

// A 2^k × 2^k matrix of zeros with [entries] (row, column, value) set.
struct Entry {
  int32_t row;
  int32_t col;
  Complex value;
};
Matrix matrixOf(int32_t qubits, std::initializer_list<Entry> entries) {
  Matrix m;
  const int32_t dim = int32_t{1} << qubits;
  m.setSize(dim, dim);
  for (const Entry& e : entries) m.data[static_cast<size_t>(e.row + e.col * dim)] = e.value;
  return m;
}

// The identity of 2^k with the 2 × 2 [block] in the last two rows and
// columns: [block] controlled by every other qubit.
Matrix controlled(int32_t qubits, const Matrix& block) {
  Matrix m;
  const int32_t dim = int32_t{1} << qubits;
  m.setSize(dim, dim);
  for (int32_t i = 0; i < dim - 2; ++i) m.data[static_cast<size_t>(i + i * dim)] = Complex{1.0, 0.0};
  for (int32_t r = 0; r < 2; ++r) {
    for (int32_t c = 0; c < 2; ++c) {
      m.data[static_cast<size_t>(dim - 2 + r + (dim - 2 + c) * dim)] = block.data[static_cast<size_t>(r + 2 * c)];
    }
  }
  return m;
}

// The identity of 2^k with [value] at the diagonal positions [rows].
Matrix diagonal(int32_t qubits, std::initializer_list<std::pair<int32_t, Complex>> changed) {
  Matrix m;
  const int32_t dim = int32_t{1} << qubits;
  m.setSize(dim, dim);
  m.setIdentity();
  for (const auto& [row, value] : changed) m.data[static_cast<size_t>(row + row * dim)] = value;
  return m;
}

const Complex kZero{0.0, 0.0};
const Complex kOne{1.0, 0.0};
const Complex kMinusOne{-1.0, 0.0};
const Complex kI{0.0, 1.0};
const Complex kMinusI{0.0, -1.0};

Matrix rotationX(double theta) {
  const double c = std::cos(theta / 2), s = std::sin(theta / 2);
  return matrixOf(1, {{0, 0, {c, 0.0}}, {0, 1, {0.0, -s}}, {1, 0, {0.0, -s}}, {1, 1, {c, 0.0}}});
}

Matrix rotationY(double theta) {
  const double c = std::cos(theta / 2), s = std::sin(theta / 2);
  return matrixOf(1, {{0, 0, {c, 0.0}}, {0, 1, {-s, 0.0}}, {1, 0, {s, 0.0}}, {1, 1, {c, 0.0}}});
}

// The block of the 4-qubit c4x the header composes on its two low qubits
// for the other qubits not all set (first) and all set (second): each entry
// (a + b√2)/8 for the real and imaginary part, in the form {row, col, a, b,
// a', b'}.
struct RootTwoEntry {
  int32_t row, col, re, reRoot, im, imRoot;
};
const RootTwoEntry kC4xLowerBlock[] = {{0, 0, 8, 0, 0, 0},   {1, 1, 4, 2, 0, 2},  {1, 2, 2, 0, 2, -2},
                                       {1, 3, 2, -2, -2, 0}, {2, 2, 4, 0, -4, 0}, {2, 3, 4, 0, 4, 0},
                                       {3, 1, 4, -2, 0, -2}, {3, 2, 2, 0, 2, 2},  {3, 3, 2, 2, -2, 0}};
const RootTwoEntry kC4xUpperBlock[] = {
    {0, 0, 4, 0, -4, 0}, {0, 1, 2, 0, 2, 2},   {0, 2, 0, 1, 2, -1},  {0, 3, 2, -1, 0, -1}, {1, 0, 4, 0, 4, 0},
    {1, 1, 2, 2, -2, 0}, {1, 2, 2, -1, 0, -1}, {1, 3, 0, -1, -2, 1}, {2, 1, 2, 0, 2, -2},  {2, 2, 0, -1, -2, 1},
    {2, 3, 6, 1, 0, 1},  {3, 1, 2, -2, -2, 0}, {3, 2, 6, 1, 0, 1},   {3, 3, 0, 1, 2, -1}};

Matrix c4xMatrix() {
  Matrix m;
  m.setSize(32, 32);
  const Real root = std::sqrt(Real{2});
  auto value = [root](int32_t a, int32_t b) { return (Real(a) + Real(b) * root) / 8; };
  for (int32_t block = 0; block < 8; ++block) {
    const RootTwoEntry* first = block < 7 ? std::begin(kC4xLowerBlock) : std::begin(kC4xUpperBlock);
    const RootTwoEntry* last = block < 7 ? std::end(kC4xLowerBlock) : std::end(kC4xUpperBlock);
    for (const RootTwoEntry* e = first; e != last; ++e) {
      const int32_t row = 4 * block + e->row, col = 4 * block + e->col;
      m.data[static_cast<size_t>(row + col * 32)] = rounded(value(e->re, e->reRoot), value(e->im, e->imRoot));
    }
  }
  return m;
}

using GateBuilder = std::function<Matrix(const std::vector<double>&)>;

const std::map<std::string, GateBuilder>& standardGates() {
  static const std::map<std::string, GateBuilder> gates = [] {
    std::map<std::string, GateBuilder> g;
    const double s = kHalfRoot;
    auto u = [](const std::vector<double>& p) { return universalGateMatrix(p[0], p[1], p[2]); };
    auto phaseGate = [](const std::vector<double>& p) { return diagonal(1, {{1, phase(p[0])}}); };
    auto identity = [](const std::vector<double>&) { return diagonal(1, {}); };
    g["u3"] = u;
    g["u"] = u;
    // U(π/2, φ, λ) = (1/√2) [[1, -e^(iλ)], [e^(iφ), e^(i(φ+λ))]].
    g["u2"] = [s](const std::vector<double>& p) {
      const Real r = 1 / std::sqrt(Real{2}), phi = p[0], lambda = p[1];
      return matrixOf(1, {{0, 0, {s, 0.0}},
                          {0, 1, rounded(-(std::cos(lambda) * r), -(std::sin(lambda) * r))},
                          {1, 0, rounded(std::cos(phi) * r, std::sin(phi) * r)},
                          {1, 1, rounded(std::cos(phi + lambda) * r, std::sin(phi + lambda) * r)}});
    };
    g["u1"] = phaseGate;
    g["p"] = phaseGate;
    g["rz"] = phaseGate;
    g["cx"] = [](const std::vector<double>&) { return controlledNotMatrix(); };
    g["id"] = identity;
    g["u0"] = identity;
    g["x"] = [](const std::vector<double>&) { return matrixOf(1, {{0, 1, kOne}, {1, 0, kOne}}); };
    g["y"] = [](const std::vector<double>&) { return matrixOf(1, {{0, 1, kMinusI}, {1, 0, kI}}); };
    g["z"] = [](const std::vector<double>&) { return diagonal(1, {{1, kMinusOne}}); };
    g["h"] = [s](const std::vector<double>&) {
      return matrixOf(1, {{0, 0, {s, 0.0}}, {0, 1, {s, 0.0}}, {1, 0, {s, 0.0}}, {1, 1, {-s, 0.0}}});
    };
    g["s"] = [](const std::vector<double>&) { return diagonal(1, {{1, kI}}); };
    g["sdg"] = [](const std::vector<double>&) { return diagonal(1, {{1, kMinusI}}); };
    g["t"] = [s](const std::vector<double>&) { return diagonal(1, {{1, {s, s}}}); };
    g["tdg"] = [s](const std::vector<double>&) { return diagonal(1, {{1, {s, -s}}}); };
    g["rx"] = [](const std::vector<double>& p) { return rotationX(p[0]); };
    g["ry"] = [](const std::vector<double>& p) { return rotationY(p[0]); };
    g["cz"] = [](const std::vector<double>&) { return diagonal(2, {{3, kMinusOne}}); };
    g["cy"] = [](const std::vector<double>&) { return controlled(2, matrixOf(1, {{0, 1, kMinusI}, {1, 0, kI}})); };
    g["swap"] = [](const std::vector<double>&) {
      return matrixOf(2, {{0, 0, kOne}, {1, 2, kOne}, {2, 1, kOne}, {3, 3, kOne}});
    };
    // e^(iπ/4) times the controlled Hadamard.
    g["ch"] = [s](const std::vector<double>&) {
      const Complex half{0.5, 0.5};
      return matrixOf(2,
                      {{0, 0, {s, s}}, {1, 1, {s, s}}, {2, 2, half}, {2, 3, half}, {3, 2, half}, {3, 3, {-0.5, -0.5}}});
    };
    g["ccx"] = [](const std::vector<double>&) { return controlled(3, matrixOf(1, {{0, 1, kOne}, {1, 0, kOne}})); };
    g["cswap"] = [](const std::vector<double>&) {
      Matrix m = diagonal(3, {{5, kZero}, {6, kZero}});
      m.data[5 + 6 * 8] = kOne;
      m.data[6 + 5 * 8] = kOne;
      return m;
    };
    g["crx"] = [](const std::vector<double>& p) { return controlled(2, rotationX(p[0])); };
    g["cry"] = [](const std::vector<double>& p) { return controlled(2, rotationY(p[0])); };
    g["crz"] = [](const std::vector<double>& p) {
      return diagonal(2, {{2, phase(-(p[0] / 2))}, {3, phase(p[0] / 2)}});
    };
    g["cu1"] = [](const std::vector<double>& p) { return diagonal(2, {{3, phase(p[0])}}); };
    g["cp"] = g["cu1"];
    g["cu3"] = [](const std::vector<double>& p) { return controlled(2, universalGateMatrix(p[0], p[1], p[2])); };
    // e^(-iθ/2) (cos(θ/2) I - i sin(θ/2) X⊗X).
    g["rxx"] = [](const std::vector<double>& p) {
      const Real c = std::cos(Real(p[0]) / 2), sn = std::sin(Real(p[0]) / 2);
      const Complex d = rounded(c * c, -(sn * c)), a = rounded(-(sn * sn), -(sn * c));
      return matrixOf(2, {{0, 0, d}, {1, 1, d}, {2, 2, d}, {3, 3, d}, {0, 3, a}, {1, 2, a}, {2, 1, a}, {3, 0, a}});
    };
    g["rzz"] = [](const std::vector<double>& p) { return diagonal(2, {{1, phase(p[0])}, {2, phase(p[0])}}); };
    g["rccx"] = [](const std::vector<double>&) {
      Matrix m = diagonal(3, {{5, kMinusOne}, {6, kZero}, {7, kZero}});
      m.data[6 + 7 * 8] = kMinusI;
      m.data[7 + 6 * 8] = kI;
      return m;
    };
    g["rc3x"] = [](const std::vector<double>&) {
      Matrix m = diagonal(4, {{12, kI}, {13, kMinusI}, {14, kZero}, {15, kZero}});
      m.data[14 + 15 * 16] = kOne;
      m.data[15 + 14 * 16] = kMinusOne;
      return m;
    };
    g["c3x"] = [](const std::vector<double>&) { return controlled(4, matrixOf(1, {{0, 1, kOne}, {1, 0, kOne}})); };
    g["c3sqrtx"] = [](const std::vector<double>&) {
      const Complex a{0.5, -0.5}, b{0.5, 0.5};
      return controlled(4, matrixOf(1, {{0, 0, a}, {0, 1, b}, {1, 0, b}, {1, 1, a}}));
    };
    g["c4x"] = [](const std::vector<double>&) { return c4xMatrix(); };
    g["sx"] = [s](const std::vector<double>&) {
      return matrixOf(1, {{0, 0, {s, 0.0}}, {0, 1, {0.0, -s}}, {1, 0, {0.0, -s}}, {1, 1, {s, 0.0}}});
    };
    g["sxdg"] = [s](const std::vector<double>&) {
      return matrixOf(1, {{0, 0, {s, 0.0}}, {0, 1, {0.0, s}}, {1, 0, {0.0, s}}, {1, 1, {s, 0.0}}});
    };
    g["csx"] = [](const std::vector<double>&) {
      const Complex a{0.5, 0.5}, b{0.5, -0.5};
      return controlled(2, matrixOf(1, {{0, 0, a}, {0, 1, b}, {1, 0, b}, {1, 1, a}}));
    };
    return g;
  }();
  return gates;
}

}  // namespace

Matrix universalGateMatrix(double theta, double phi, double lambda) {
  const double c = std::cos(theta / 2);
  const Real cl = std::cos(Real(theta) / 2), sl = std::sin(Real(theta) / 2);
  const Real sum = Real(phi) + Real(lambda);
  return matrixOf(1, {{0, 0, {c, 0.0}},
                      {0, 1, rounded(-(std::cos(Real(lambda)) * sl), -(std::sin(Real(lambda)) * sl))},
                      {1, 0, rounded(std::cos(Real(phi)) * sl, std::sin(Real(phi)) * sl)},
                      {1, 1, rounded(std::cos(sum) * cl, std::sin(sum) * cl)}});
}

Matrix controlledNotMatrix() { return matrixOf(2, {{0, 0, kOne}, {1, 1, kOne}, {2, 3, kOne}, {3, 2, kOne}}); }

bool standardGateMatrix(const std::string& name, const std::vector<double>& params, Matrix& out) {
  const auto& gates = standardGates();
  const auto found = gates.find(name);
  if (found == gates.end()) return false;
  out = found->second(params);
  return true;
}
