// run_qasm and the OpenQASM reader behind it: the standard header's exact
// gates against its literal composition, user gates and broadcasting,
// measure, reset and if, the refusals with their places, the bit identity
// with gate-by-gate apply_qubits, and well-known small circuits.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstdint>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "extensions/qasm_parser.h"
#include "extensions/qasm_runner.h"
#include "quantum/parallel.h"
#include "quantum/qubit_kernels.h"
#include "transcript.h"

namespace {

const std::string kHead = "OPENQASM 2.0;\ninclude \"qelib1.inc\";\n";

QasmProgram parse(const std::string& text, const QasmOptions& options = {}) {
  return parseQasm(
      "t.qasm", text, [](const std::string&, std::string&) { return false; }, options);
}

Matrix run(const QasmProgram& program, const Matrix* initial = nullptr, const kernels::BlockShape& shape = {}) {
  std::vector<int32_t> values;
  return runQasmProgram(program, initial, values, shape);
}

// The program's gates applied one at a time with apply_qubits's dense kernel.
Matrix gateByGate(const QasmProgram& program, Matrix state) {
  for (const QasmOperation& op : program.operations) {
    Matrix next;
    kernels::applyToQubits(program.matrices[static_cast<size_t>(op.matrix)], op.qubits, state, next);
    state = std::move(next);
  }
  return state;
}

Matrix basisState(int32_t qubits, int32_t index) {
  Matrix v;
  v.setSize(int32_t{1} << qubits, 1);
  v.data[static_cast<size_t>(index)] = Complex{1.0, 0.0};
  return v;
}

std::string bitText(const Matrix& m) {
  std::string text;
  for (const Complex& e : m.data) {
    uint64_t re, im;
    std::memcpy(&re, &e.re, sizeof re);
    std::memcpy(&im, &e.im, sizeof im);
    text += std::to_string(re);  // part by part: GCC 12 warns falsely about the temporaries
    text += ',';
    text += std::to_string(im);
    text += ' ';
  }
  return text;
}

// The matrix [program] applies gate by gate: column c is its image of |c⟩.
std::vector<std::complex<double>> matrixOf(const QasmProgram& program) {
  const int32_t dim = int32_t{1} << program.qubitCount;
  std::vector<std::complex<double>> m;
  for (int32_t c = 0; c < dim; ++c) {
    const Matrix column = gateByGate(program, basisState(program.qubitCount, c));
    for (const Complex& e : column.data) m.emplace_back(e.re, e.im);
  }
  return m;
}

struct HeaderGate {
  const char* name;
  int params;
  int qubits;
};
const HeaderGate kHeaderGates[] = {
    {"u3", 3, 1},  {"u2", 2, 1},    {"u1", 1, 1},   {"cx", 0, 2},   {"id", 0, 1},  {"u0", 1, 1},      {"x", 0, 1},
    {"y", 0, 1},   {"z", 0, 1},     {"h", 0, 1},    {"s", 0, 1},    {"sdg", 0, 1}, {"t", 0, 1},       {"tdg", 0, 1},
    {"rx", 1, 1},  {"ry", 1, 1},    {"rz", 1, 1},   {"cz", 0, 2},   {"cy", 0, 2},  {"swap", 0, 2},    {"ch", 0, 2},
    {"ccx", 0, 3}, {"cswap", 0, 3}, {"crx", 1, 2},  {"cry", 1, 2},  {"crz", 1, 2}, {"cu1", 1, 2},     {"cu3", 3, 2},
    {"rxx", 1, 2}, {"rzz", 1, 2},   {"rccx", 0, 3}, {"rc3x", 0, 4}, {"c3x", 0, 4}, {"c3sqrtx", 0, 4}, {"c4x", 0, 5},
    {"p", 1, 1},   {"u", 3, 1},     {"sx", 0, 1},   {"sxdg", 0, 1}, {"cp", 1, 2},  {"csx", 0, 2}};

// "NAME(params) q[k-1],...,q[0];": the gate's first argument is the state's
// most significant bit, so its matrix is the program's.
std::string applyWhole(const HeaderGate& g, const std::string& params) {
  std::string text = kHead + "qreg q[" + std::to_string(g.qubits) + "];\n" + g.name;
  if (g.params > 0) text += "(" + params + ")";
  for (int i = g.qubits - 1; i >= 0; --i)
    text += std::string(i == g.qubits - 1 ? " " : ",") + "q[" + std::to_string(i) + "]";
  return text + ";\n";
}

std::string paramsFor(int count, const std::vector<const char*>& values) {
  std::string text;
  for (int i = 0; i < count; ++i) text += std::string(i > 0 ? "," : "") + values[static_cast<size_t>(i)];
  return text;
}

}  // namespace

TEST(RunQasm, EveryStandardGateIsTheHeadersCompositionWithExactEntries) {
  QasmOptions literal;
  literal.literalHeader = true;
  for (const std::vector<const char*>& values :
       {std::vector<const char*>{"0.3", "-1.1", "2.5"}, std::vector<const char*>{"pi/2", "pi", "-pi/4"}}) {
    for (const HeaderGate& g : kHeaderGates) {
      const std::string text = applyWhole(g, paramsFor(g.params, values));
      const QasmProgram exact = parse(text);
      ASSERT_EQ(exact.operations.size(), 1u) << g.name;
      const std::vector<std::complex<double>> want = matrixOf(parse(text, literal));
      const std::vector<std::complex<double>> got = matrixOf(exact);
      for (size_t i = 0; i < want.size(); ++i) EXPECT_LT(std::abs(got[i] - want[i]), 1e-12) << g.name << " entry " << i;
    }
  }
  // Closed forms rounded once: no residues where the composition has them.
  auto entries = [](const std::string& gate) { return parse(kHead + "qreg q[3];\n" + gate + ";\n").matrices[0].data; };
  const double s = 0.70710678118654752440;
  auto eq = [](Complex a, Complex b) { return a.re == b.re && a.im == b.im; };
  const auto x = entries("x q[0]");
  EXPECT_TRUE(eq(x[0], {0, 0}) && eq(x[1], {1, 0}) && eq(x[2], {1, 0}) && eq(x[3], {0, 0}));
  const auto h = entries("h q[0]");
  EXPECT_TRUE(eq(h[0], {s, 0}) && eq(h[1], {s, 0}) && eq(h[2], {s, 0}) && eq(h[3], {-s, 0}));
  const auto rz = entries("rz(0.3) q[0]");
  EXPECT_TRUE(eq(rz[0], {1, 0}) && eq(rz[3], {std::cos(0.3), std::sin(0.3)}) && eq(rz[1], {0, 0}));
  EXPECT_TRUE(eq(entries("t q[0]")[3], {s, s}));
  for (const char* permutation : {"ccx q[0],q[1],q[2]", "cswap q[2],q[0],q[1]", "swap q[0],q[1]"}) {
    for (const Complex& e : entries(permutation)) EXPECT_TRUE(eq(e, {0, 0}) || eq(e, {1, 0})) << permutation;
  }
}

TEST(RunQasm, UserGatesWithParametersNestingAndBroadcastingExpandInProgramOrder) {
  const std::string defined = kHead +
                              "gate rot(a, b) x, y { ry(2*a) x; cx x, y; u1(-b/2 + pi^2) y; }\n"
                              "gate trio(t) p, q, r { rot(t, sqrt(t)) p, r; barrier p, q; h q; U(t, -t, t^2) r; }\n"
                              "qreg a[2]; qreg b[2];\nqreg c[2];\n"
                              "trio(0.5) a, b[1], c;\nh a;\ncx a, c;\ncx a[0], b;\n";
  const std::string flat =
      kHead +
      "qreg a[2]; qreg b[2]; qreg c[2];\n"
      "ry(2*0.5) a[0]; cx a[0], c[0]; u1(-sqrt(0.5)/2 + pi^2) c[0]; h b[1]; U(0.5, -0.5, 0.5^2) c[0];\n"
      "ry(2*0.5) a[1]; cx a[1], c[1]; u1(-sqrt(0.5)/2 + pi^2) c[1]; h b[1]; U(0.5, -0.5, 0.5^2) c[1];\n"
      "h a[0]; h a[1]; cx a[0], c[0]; cx a[1], c[1]; cx a[0], b[0]; cx a[0], b[1];\n";
  const QasmProgram program = parse(defined);
  EXPECT_EQ(program.qubitCount, 6);
  EXPECT_EQ(program.operations.size(), 16u);
  EXPECT_EQ(bitText(run(program)), bitText(run(parse(flat))));
  // Register c's qubits are 4 and 5: the first CX acts on qubits 0 and 4.
  EXPECT_EQ(program.operations[1].qubits, (std::vector<int32_t>{0, 4}));

  // Definitions from included files, each found beside the file including it.
  const std::map<std::string, std::string> files = {
      {"lib/defs.inc", "gate rot(a, b) x, y { ry(2*a) x; cx x, y; u1(-b/2 + pi^2) y; }\ninclude \"more.inc\";\n"},
      {"lib/more.inc", "gate trio(t) p, q, r { rot(t, sqrt(t)) p, r; barrier p, q; h q; U(t, -t, t^2) r; }\n"}};
  std::vector<std::string> asked;
  const std::string included = std::string(defined).replace(
      defined.find("gate rot"), defined.find("qreg a") - defined.find("gate rot"), "include \"lib/defs.inc\";\n");
  const QasmProgram fromFiles = parseQasm("t.qasm", included, [&](const std::string& path, std::string& text) {
    asked.push_back(path);
    const auto found = files.find(path);
    if (found == files.end()) return false;
    text = found->second;
    return true;
  });
  EXPECT_EQ(asked, (std::vector<std::string>{"lib/defs.inc", "lib/more.inc"}));
  EXPECT_EQ(bitText(run(fromFiles)), bitText(run(program)));
}

TEST(RunQasm, ProgramsGiveTheBitsOfGateByGateApplyQubitsForAnyThreadsAndBlocks) {
  const char* const oneQubit[] = {"h", "x", "y", "z", "s", "sdg", "t", "tdg", "sx", "id"};
  const char* const twoQubit[] = {"cx", "cz", "cy", "swap", "ch", "csx", "CX"};
  std::mt19937 random(3);
  auto below = [&random](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
  const int original = parallelThreadCount();
  for (int trial = 0; trial < 12; ++trial) {
    const int n = 3 + below(8);
    std::string text =
        kHead + "gate g(a) u, v { rx(a) u; cu1(a/3) u, v; ry(-a) v; }\nqreg q[" + std::to_string(n) + "];\n";
    auto qubit = [&](int avoid1 = -1, int avoid2 = -1) {
      int q;
      do q = below(n);
      while (q == avoid1 || q == avoid2);
      return q;
    };
    auto name = [](int q) { return "q[" + std::to_string(q) + "]"; };
    for (int i = 0; i < 60; ++i) {
      const std::string angle = std::to_string(below(1000) / 100.0 - 5);
      const int a = qubit(), b = qubit(a), c = qubit(a, b);
      switch (below(6)) {
        case 0:
          text += std::string(oneQubit[below(10)]) + " " + name(a) + ";\n";
          break;
        case 1:
          text += std::string(twoQubit[below(7)]) + " " + name(a) + "," + name(b) + ";\n";
          break;
        case 2:
          text += std::string(below(2) ? "ccx " : "cswap ") + name(a) + "," + name(b) + "," + name(c) + ";\n";
          break;
        case 3:
          text += "u3(" + angle + ",1.5," + angle + ") " + name(a) + ";\n";
          break;
        case 4:
          text += below(2) ? "rz(" + angle + ") " + name(a) + ";\n"
                           : "crz(" + angle + ") " + name(a) + "," + name(b) + ";\n";
          break;
        default:
          text += std::string(below(2) ? "g(" : "rxx(") + angle + ") " + name(a) + "," + name(b) + ";\n";
          break;
      }
    }
    const QasmProgram program = parse(text);
    // A start with signed zeros, which the first gate makes +0.
    Matrix start = basisState(n, 0);
    for (size_t i = 0; i < start.data.size(); ++i) {
      start.data[i] = Complex{below(3) == 0 ? -0.0 : below(7) / 7.0, below(3) == 0 ? -0.0 : -below(5) / 5.0};
    }
    const std::string expected = bitText(gateByGate(program, start));
    for (int threads : {1, 2, 3}) {
      setParallelThreads(threads);
      for (kernels::BlockShape shape : {kernels::BlockShape{1, 0}, kernels::BlockShape{3, 1}, kernels::BlockShape{}}) {
        ASSERT_EQ(bitText(run(program, &start, shape)), expected) << text;
      }
    }
  }
  setParallelThreads(original);
}

TEST(RunQasm, WellKnownCircuitsEndInTheirStates) {
  auto amplitudes = [](const std::string& body, int qubits) {
    const Matrix v = run(parse(kHead + "qreg q[" + std::to_string(qubits) + "];\n" + body));
    std::vector<std::complex<double>> a;
    for (const Complex& e : v.data) a.emplace_back(e.re, e.im);
    return a;
  };
  auto near = [](std::complex<double> a, std::complex<double> b) { return std::abs(a - b) < 1e-12; };
  const double s = std::sqrt(0.5);
  const auto bell = amplitudes("h q[0]; cx q[0], q[1];", 2);
  EXPECT_TRUE(near(bell[0], s) && near(bell[1], 0) && near(bell[2], 0) && near(bell[3], s));
  const auto ghz = amplitudes("h q[0]; cx q[0], q[1]; cx q[1], q[2];", 3);
  for (int i = 0; i < 8; ++i) EXPECT_TRUE(near(ghz[static_cast<size_t>(i)], i == 0 || i == 7 ? s : 0.0)) << i;
  // Deutsch–Jozsa with the balanced oracle x0 ⊕ x1 ⊕ x2 on ancilla q[3]:
  // the inputs end in |111⟩ for certain.
  const auto dj = amplitudes("x q[3]; h q; cx q[0], q[3]; cx q[1], q[3]; cx q[2], q[3]; h q[0]; h q[1]; h q[2];", 4);
  EXPECT_NEAR(std::norm(dj[7]) + std::norm(dj[15]), 1.0, 1e-12);
  // The Fourier transform of |5⟩ on three qubits: e^(2πi·5k/8)/√8 at |k⟩.
  const auto qft = amplitudes(
      "x q[0]; x q[2];\nh q[2]; cu1(pi/2) q[1], q[2]; cu1(pi/4) q[0], q[2];\nh q[1]; cu1(pi/2) q[0], q[1];\n"
      "h q[0];\nswap q[0], q[2];",
      3);
  for (int k = 0; k < 8; ++k) {
    EXPECT_TRUE(near(qft[static_cast<size_t>(k)], std::polar(1 / std::sqrt(8.0), 2 * M_PI * 5 * k / 8))) << k;
  }
  // Grover's search for |101⟩ on three qubits, two rounds: probability 0.9453.
  const std::string oracle = "x q[1]; h q[2]; ccx q[0], q[1], q[2]; h q[2]; x q[1];\n";
  const std::string diffusion = "h q; x q; h q[2]; ccx q[0], q[1], q[2]; h q[2]; x q; h q;\n";
  const auto grover = amplitudes("h q;\n" + oracle + diffusion + oracle + diffusion, 3);
  EXPECT_NEAR(std::norm(grover[5]), 121.0 / 128.0, 1e-12);
}

TEST(RunQasm, MeasureResetAndIfDrawLikeMeasureQbitAndWriteTheRegisters) {
  ScratchDir dir;
  dir.write("coin.qasm", kHead + "qreg q[1];\ncreg c[1];\nh q[0];\nmeasure q[0] -> c[0];\n");
  // q[0] and q[1] are measured, q[2] flipped when both read 1, q[0] reset:
  // the state ends in |c1·c0, c1, 0⟩ with c = 2·c1 + c0.
  dir.write("steps.qasm", kHead +
                              "qreg q[3];\ncreg c[2];\ncreg d[1];\nh q[0]; h q[1];\nmeasure q[0] -> c[0];\n"
                              "measure q[1] -> c[1];\nif (c == 3) x q[2];\nreset q[0];\n");
  std::map<int, int> seen;
  for (unsigned seed = 1; seed <= 8; ++seed) {
    // measure_qbit with the same seed draws the same outcome.
    const std::string ours = transcriptWithExtensions({"global (new integer c)", "run_qasm coin.qasm", "get c"}, seed);
    const std::string builtIn = transcriptWithExtensions(
        {"global (new integer c)",
         "measure_qbit (apply_qubits (matrix 2 1 (complex 1 0) (complex 0 0)) (matrix 2 2 QFT) 0) 0 c", "get c"},
        seed);
    EXPECT_EQ(ours, builtIn) << "seed " << seed;

    const std::string out = transcriptWithExtensions(
        {"global (begin (new integer c) (new integer d) (set d 5))", "global (new matrix psi 8 1)",
         "set psi (run_qasm steps.qasm)", "get c", "get d", "rowSize (get psi)",
         "print (cnorm (get_element (get psi) (add (mult 2 (div (get c) 2)) (mult 4 (div (get c) 3))) 0))"},
        seed);
    const size_t at = out.find("integer c = ");
    ASSERT_NE(at, std::string::npos) << out;
    const int c = out[at + 12] - '0';
    ++seen[c];
    EXPECT_NE(out.find("integer d = 0\n"), std::string::npos) << out;  // never measured: 0
    EXPECT_NE(out.find("complex temp = 1 + 0i\n"), std::string::npos) << "seed " << seed << "\n" << out;
    EXPECT_EQ(out, transcriptWithExtensions(
                       {"global (begin (new integer c) (new integer d) (set d 5))", "global (new matrix psi 8 1)",
                        "set psi (run_qasm steps.qasm)", "get c", "get d", "rowSize (get psi)",
                        "print (cnorm (get_element (get psi) (add (mult 2 (div (get c) 2)) "
                        "(mult 4 (div (get c) 3))) 0))"},
                       seed));
  }
  EXPECT_GT(seen.size(), 1u);
}

TEST(RunQasm, MistakesAreReportedWithTheirPlaceAndNothingChanges) {
  ScratchDir dir;
  const std::string regs = "qreg q[2];\ncreg c[2];\n";
  const std::vector<std::pair<std::string, std::string>> cases = {
      {kHead + regs + "measure q -> c;\nfoo q[0];\n", "6:1: unknown gate 'foo'"},
      {kHead + regs + "rx q[0];\n", "5:1: gate 'rx' takes 1 parameter, not 0"},
      {kHead + regs + "cx q[0];\n", "5:1: gate 'cx' acts on 2 qubits, not 1"},
      {kHead + regs + "h r[0];\n", "5:3: undeclared register 'r'"},
      {kHead + regs + "h q[2];\n", "5:5: index 2 is out of range for 'q' of size 2"},
      {kHead + regs + "measure q -> c;\ncx q[1], q[1];\n", "6:1: qubit q[1] is used twice in one gate"},
      {"OPENQASM 2.1;\n", "1:10: version 2.1 is not supported: run_qasm reads OpenQASM 2.0"},
      {"OPENQASM 3.0;\nqubit q;\n", "1:10: OpenQASM 3 is not supported: run_qasm reads OpenQASM 2.0"},
      {"OPENQASM 2.0;\nqreg q[20];\nqreg r[8];\n", "3:8: 28 qubits in all exceed the element budget (27 at most)"},
      {kHead + "creg w[32];\n", "3:8: classical register 'w' is wider than 31 bits"},
      {kHead + regs + "opaque magic a;\nmagic q[0];\n", "6:1: opaque gate 'magic' has no definition to apply"},
      {kHead + regs + "include \"nowhere.inc\";\n", "5:1: cannot open the included file 'nowhere.inc'"},
      {kHead + "qreg a[2]; qreg b[3];\ncx a, b;\n", "4:1: registers of sizes 2 and 3 in one statement"},
      {kHead + "gate g a { h a; }\ngate g b { x b; }\n", "4:6: gate 'g' is already defined"},
      {kHead + "gate g(t) a { rz(s) a; }\n", "3:18: unknown parameter 's'"},
      {kHead + regs + "h q[0]\nx q[1];\n", "6:1: expected ';' but found 'x'"},
      {kHead + regs + "rz(1/0) q[0];\n", "5:1: parameter 1 of 'rz' is not a finite number"},
      {kHead + regs + "gate g(t) a { u1(ln(t)) a; }\ng(0) q[0];\n", "5:15: parameter 1 of 'u1' is not a finite number"},
      {"qreg q[1];\n", "1:1: a program starts with 'OPENQASM 2.0;'"},
      {kHead + regs + "rz(" + std::string(300, '(') + "1" + std::string(300, ')') + ") q[0];\n",
       "5:105: expression nested more than 100 deep"}};
  std::vector<std::string> lines = {"global (begin (new integer c) (set c 7))"};
  std::vector<std::string> echoes = {NUL};
  for (size_t i = 0; i < cases.size(); ++i) {
    const std::string file = "e" + std::to_string(i) + ".qasm";
    dir.write(file, cases[i].first);
    lines.push_back("run_qasm " + file);
    echoes.push_back("Syntax error 'run_qasm " + file + "'; " + file + ":" + cases[i].second + "\n" + NUL);
  }
  dir.write("ok.qasm", kHead + regs + "x q[1];\nmeasure q -> c;\n");
  lines.insert(lines.end(),
               {"run_qasm ok.qasm (matrix 2 1 zero)", "run_qasm missing.qasm", "get c", "run_qasm ok.qasm", "get c"});
  echoes.insert(echoes.end(),
                {"Syntax error 'run_qasm ok.qasm (matrix 2 1 zero)'; state is not a column of 4 rows for the "
                 "program's 2 qubits\n" +
                     NUL,
                 "Cannot open file 'missing.qasm'\n" + NUL, "integer c = 7\n\n",
                 "matrix temp = \n0 + 0i\t\n0 + 0i\t\n1 + 0i\t\n0 + 0i\t\n\n\n\n", "integer c = 2\n\n"});
  EXPECT_EQ(transcriptWithExtensions(lines), tx(echoes));
}

namespace {

// [first], then "gate NAMEi a { NAME(i-1) a; … }" for i = 1 … [count] - 1,
// each body calling the gate before it [calls] times.
std::string nestedGates(const std::string& first, const std::string& name, int count, int calls) {
  std::string text = kHead + first;
  for (int i = 1; i < count; ++i) {
    const std::string previous = name + std::to_string(i - 1);
    text += "gate ";
    text += name + std::to_string(i);
    text += " a {";
    for (int c = 0; c < calls; ++c) {
      text += ' ';
      text += previous;
      text += " a;";
    }
    text += " }\n";
  }
  return text;
}

}  // namespace

TEST(RunQasm, HostileProgramsAreRefusedWithinBounds) {
  // Definitions nested without end, and expansion that doubles at each
  // level, stop at their bounds rather than exhausting the stack, memory or
  // time.
  EXPECT_THROW(parse(nestedGates("gate g0 a { x a; }\n", "g", 70, 1)), QasmError);
  const std::string doubling = nestedGates("gate d0 a { x a; x a; }\n", "d", 20, 2);
  QasmOptions small;
  small.maxOperations = 1000;
  try {
    parse(doubling + "qreg q[1];\nd19 q[0];\n", small);
    FAIL();
  } catch (const QasmError& e) {
    EXPECT_STREQ(e.what(), "t.qasm:3:13: the program expands to more than 1000 operations");
  }
  // Empty bodies emit nothing, yet their doubling calls are bounded too.
  const std::string empty = nestedGates("gate e0 a { barrier a; }\n", "e", 60, 2);
  EXPECT_THROW(parse(empty + "qreg q[1];\ne59 q[0];\n", small), QasmError);
  std::string chain = "1";
  for (int i = 0; i < 400; ++i) chain += "+1";
  EXPECT_THROW(parse(kHead + "qreg q[1];\nrz(" + chain + ") q[0];\n"), QasmError);
}
