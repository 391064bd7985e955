// Quantum keywords as a user meets them: gates, the matrix constructor,
// tensor products, operators on one subsystem, measurements, the unitarity
// check and the conjugate transpose.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "transcript.h"

namespace {

using Rows = std::vector<std::vector<std::string>>;

// The echo of a computed matrix: each element "re + imi\t", a line per row,
// an empty line after the grid and the shell's blank line.
std::string matrixEcho(const Rows& rows) {
  std::string text = "matrix temp = \n";
  for (const auto& row : rows) {
    for (const std::string& e : row) text += e + "\t";
    text += "\n";
  }
  return text + "\n\n\n";
}

// A matrix of real 0/1 entries, one string of digits per row.
std::string bitsEcho(const std::vector<std::string>& rows) {
  Rows grid;
  for (const std::string& row : rows) {
    grid.emplace_back();
    for (char c : row) grid.back().push_back(c == '1' ? "1 + 0i" : "0 + 0i");
  }
  return matrixEcho(grid);
}

// A real 0/1 column, one digit per row.
std::string columnEcho(const std::string& digits) {
  std::vector<std::string> rows;
  for (char c : digits) rows.emplace_back(1, c);
  return bitsEcho(rows);
}

const std::string kQubits =
    "global (begin (new space q 2) (new space t 3) (new system s1 1 q) (new system s 2 q q) (new system m 2 q t) "
    "(new integer r) (new double d.0) (new double d.1) (new double d.2))";
// A system whose second subsystem had its size set to 0 before declaring it.
const std::string kBadSystem = "global (begin (new space z 2) (set z.size 0) (new system bad 2 q z))";
const std::string kFlip = "(matrix 2 2 (complex 0 0) (complex 1 0) (complex 1 0) (complex 0 0))";

}  // namespace

TEST(Gate, CnotMapsEachColumnToItsImage) {
  EXPECT_EQ(transcript({"gate cnot 2 1 0", "gate cnot 2 0 1", "gate cnot 2 -1 1", "gate hadamard 1"}),
            tx({bitsEcho({"1000", "0100", "0001", "0010"}), bitsEcho({"1000", "0001", "0010", "0100"}),
                bitsEcho({"1000", "0001", "0010", "0100"}), bitsEcho({"00", "00"})}));
}

TEST(Gate, RefusalsAndTheAllZeroResult) {
  EXPECT_EQ(transcript({"gate cnot 1 0 0", "gate cnot 0 0 1", "gate cnot 14 0 1", "gate x 2147483647"}),
            tx({"Syntax Error 'gate cnot 1 0 0'; action = control\n" + bitsEcho({"00", "00"}),
                "Syntax Error 'gate cnot 0 0 1'; dimSize <= 0\n" + NUL,
                "Syntax Error 'gate cnot 14 0 1'; dimSize too large\n" + NUL,
                "Syntax Error 'gate x 2147483647'; dimSize too large\n" + NUL}));
}

TEST(Gate, QubitIndicesFrom31OnNeverSetABit) {
  // Control 31: never set, so the identity. Target 31: every image with the
  // control set leaves the register. 40 and 40 are one bit; 31 and 32 two.
  EXPECT_EQ(transcript({"gate cnot 2 31 0", "gate cnot 2 0 31", "gate cnot 2 40 40", "gate cnot 2 32 31"}),
            tx({bitsEcho({"1000", "0100", "0010", "0001"}), bitsEcho({"1000", "0000", "0010", "0000"}),
                "Syntax Error 'gate cnot 2 40 40'; action = control\n" +
                    bitsEcho({"0000", "0000", "0000", "0000"}),
                bitsEcho({"1000", "0100", "0010", "0001"})}));
}

TEST(MatrixConstructor, ElementsInRowOrderAndFillWords) {
  EXPECT_EQ(transcript({"matrix 2 2 (complex 1 2) (complex 3 4) (complex 5 6) (complex 7 8)", "matrix 2 3 ident",
                        "matrix 2 2 zero", "matrix 2 2 QFT", "matrix 2 2 ident extra (print 9)"}),
            tx({matrixEcho({{"1 + 2i", "3 + 4i"}, {"5 + 6i", "7 + 8i"}}), bitsEcho({"100", "010"}),
                bitsEcho({"00", "00"}),
                matrixEcho({{"0.707107 + 0i", "0.707107 + 0i"}, {"0.707107 + 0i", "-0.707107 + 8.65956e-17i"}}),
                bitsEcho({"10", "01"})}));
}

TEST(MatrixConstructor, ElementErrorsKeepTheEntriesStoredSoFar) {
  const std::string getComplex = "getComplex error - type is NULL or not complex\n";
  EXPECT_EQ(transcript({"matrix 2 2 (complex 1 0) ident", "matrix 2 2 (complex 1 0) (complex 2 0) (complex 3 0)",
                        "matrix 1 2 5 (print 9)", "matrix 0 3 (print 9)", "matrix 100000 100000 zero"}),
            tx({getComplex + matrixEcho({{"1 + 0i", "0 + 0i"}, {"0 + 0i", "0 + 0i"}}),
                getComplex + matrixEcho({{"1 + 0i", "2 + 0i"}, {"3 + 0i", "0 + 0i"}}),
                getComplex + matrixEcho({{"0 + 0i", "0 + 0i"}}), "matrix temp = \n\n\n",
                "Syntax error 'matrix 100000 100000 zero'; size too large\n" + NUL}));
}

TEST(MatrixConstructor, RotationsReadTheirVariablesInOrder) {
  const std::string declare =
      "global (begin (new double ph.0) (new double an.0) (new double x.0) (set an.0 0.5) "
      "(new double ph.1) (new double an.1) (new double ph.2) (new double an.2))";
  EXPECT_EQ(transcript({declare, "matrix 2 2 u_random an ph x", "matrix 3 3 u_random an ph x",
                        "matrix 1 1 u_random 5 5 5"}),
            tx({NUL,
                "ph.0\nan.0\nx.0\n" +
                    matrixEcho({{"0.877583 + 0i", "0.479426 + 0i"}, {"-0.479426 + 0i", "0.877583 + 0i"}}),
                "ph.0\nan.0\nx.0\nph.1\nan.1\nph.2\nan.2\nx.0\n" +
                    matrixEcho({{"0.877583 + 0i", "0.479426 + 0i", "0 + 0i"},
                                {"-0.479426 + 0i", "0.877583 + 0i", "0 + 0i"},
                                {"0 + 0i", "0 + 0i", "1 + 0i"}}),
                bitsEcho({"1"})}));
}

TEST(MatrixConstructor, RotationsRefuseMissingVariablesAndNonSquareShapes) {
  // Each variable is read into an empty slot: a missing angle is reported,
  // not replaced by the phase read just before it.
  EXPECT_EQ(transcript({"global (begin (new double p.0) (set p.0 0.5))", "matrix 2 2 u_random a p x",
                        "matrix 2 3 u_random a p x"}),
            tx({NUL, "p.0\na.0\nError: getInteger error - type is NULL or not double\n" + bitsEcho({"10", "01"}),
                "Syntax error 'matrix 2 3 u_random a p x'; u_random needs a square matrix\n" +
                    bitsEcho({"100", "010"})}));
}

TEST(Tensor, LeftFactorIsMostSignificant) {
  EXPECT_EQ(transcript({kQubits, "tensor (get q.ket.0) (get q.ket.1)", "tensor (get q.bra.1) (get t.ket.2)",
                        "tensor (matrix 0 0 zero) (matrix 2 2 ident)"}),
            tx({NUL, columnEcho("0100"), bitsEcho({"00", "00", "01"}), "matrix temp = \n\n\n"}));
}

TEST(Tensor, Refusals) {
  EXPECT_EQ(transcript({"tensor 5 (matrix 1 1 zero)", "tensor (matrix 1 1 zero) 5",
                        "tensor (matrix 20000 1 zero) (matrix 1 20000 zero)"}),
            tx({"Syntax error 'tensor 5 (matrix 1 1 zero)'; cannot tensor these types\n" + NUL,
                "Error: getMatrix error - type is NULL or not matrix\n" + NUL,
                "Syntax error 'tensor (matrix 20000 1 zero) (matrix 1 20000 zero)'; size too large\n" + NUL}));
}

TEST(ApplyOp, ActsOnTheNamedSubsystemOnly) {
  EXPECT_EQ(transcript({kQubits, "apply_op (get s) 0 " + kFlip + " (tensor (get q.ket.0) (get q.ket.0))",
                        "apply_op (get s) 1 " + kFlip + " (tensor (get q.ket.0) (get q.ket.0))",
                        // A cyclic shift on the 3-dimensional subsystem, two columns at once.
                        "apply_op (get m) 1 (matrix 3 3 (complex 0 0) (complex 0 0) (complex 1 0) (complex 1 0) "
                        "(complex 0 0) (complex 0 0) (complex 0 0) (complex 1 0) (complex 0 0)) (tensor (get q.ket.1) "
                        "(matrix 3 2 (complex 0 0) (complex 1 0) (complex 0 0) (complex 0 0) (complex 1 0) "
                        "(complex 0 0)))",
                        // The operator's own size is not checked, only the product's.
                        "apply_op (get s) 0 (gate cnot 2 1 0) (tensor (get q.ket.1) (tensor (get q.ket.0) "
                        "(get q.ket.1)))"}),
            tx({NUL, columnEcho("0010"), columnEcho("0100"), bitsEcho({"00", "00", "00", "10", "01", "00"}),
                columnEcho("00000001")}));
}

TEST(ApplyOp, OutsidePositionsCopyTheStateExactly) {
  // An exact copy: a -0 stays -0.
  EXPECT_EQ(transcript({kQubits, "apply_op (get s1) 1 (matrix 0 0 zero) (matrix 2 1 (complex -0.0 -0.0) "
                                 "(complex 2 -1))",
                        "begin (new system e 0) (apply_op (get e) 0 (matrix 2 2 ident) (matrix 1 2 (complex 3 0) "
                        "(complex 0 -0.0)))"}),
            tx({NUL, matrixEcho({{"-0 + -0i"}, {"2 + -1i"}}), matrixEcho({{"3 + 0i", "0 + -0i"}})}));
}

TEST(ApplyOp, Refusals) {
  EXPECT_EQ(
      transcript({kQubits, kBadSystem, "apply_op (get s) 0 (gate cnot 2 1 0) (get q.ket.0)",
                  "apply_op (get bad) 5 (matrix 2 2 ident) (matrix 4 1 zero)",
                  "apply_op (get s) 1 (matrix 0 0 zero) (matrix 4 1 zero)",
                  "apply_op (get s1) 0 (matrix 4096 1 zero) (matrix 1 65536 zero)", "apply_op 1 2 3 4"}),
      tx({NUL, NUL, "Syntax error 'apply_op (get s) 0 (gate cnot 2 1 0) (get q.ket.0)'; matrix wrong size for mult\n" + NUL,
          "Syntax error 'apply_op (get bad) 5 (matrix 2 2 ident) (matrix 4 1 zero)'; subsystem dimension <= 0\n" + NUL,
          "Syntax error 'apply_op (get s) 1 (matrix 0 0 zero) (matrix 4 1 zero)'; empty operator\n" + NUL,
          "Syntax error 'apply_op (get s1) 0 (matrix 4096 1 zero) (matrix 1 65536 zero)'; size too large\n" + NUL,
          "Error: getInteger error - type is NULL or not System\n" + NUL}));
}

TEST(Measure, SubsystemOutcomesAndCollapse) {
  EXPECT_EQ(transcript({kQubits, "measure (tensor (get q.ket.1) (get t.ket.2)) (get m) 0 r", "get r",
                        "measure (tensor (get q.ket.1) (get t.ket.2)) (get m) 1 r", "get r",
                        "measure (get q.ket.1) (get s1) 0 nosuch", "get nosuch",
                        "partial_measure (get q.ket.1) (get s1) 0",
                        "partial_measure (matrix 2 1 (complex 0 0) (cast complex (sqrt 0.6))) (get s1) 0"}),
            tx({NUL, columnEcho("000001"), "integer r = 1\n\n", columnEcho("000001"), "integer r = 2\n\n",
                columnEcho("01"), NUL, "p[0] = -1\np[1] = 100\nresult = 1\npSq = 1\n" + columnEcho("01"),
                "p[0] = -1\np[1] = 60\nresult = 1\npSq = 0.774597\n" + columnEcho("01")}));
}

TEST(Measure, DistributionWritesEveryOutcomeVariable) {
  EXPECT_EQ(transcript({kQubits,
                        "measure_distribution (matrix 6 1 (cast complex (sqrt 0.5)) (complex 0 0) (complex 0 0) "
                        "(complex 0 0) (complex 0 0) (cast complex (sqrt 0.5))) (get m) 1 d",
                        "get d.0", "get d.1", "get d.2"}),
            tx({NUL, "vector temp = 0.5, 0, 0.5, \n\n", "double d.0 = 0.5\n\n", "double d.1 = 0\n\n",
                "double d.2 = 0.5\n\n"}));
}

TEST(Measure, Refusals) {
  EXPECT_EQ(
      transcript({kQubits, kBadSystem, "global (begin (new space w 2) (set w.size 100000) (new system huge 3 w w w))",
                  "measure (get q.ket.0) (get s1) 1 r", "measure (get q.ket.0) (get bad) 2 r",
                  "measure_distribution (get q.ket.0) (get bad) 0 d", "measure (get q.ket.0) (get huge) 0 r",
                  "measure (matrix 3 1 zero) (get s) 0 r", "partial_measure (matrix 2 2 zero) (get s) 0",
                  "measure (matrix 4 1 zero) (get s) 1 r", "partial_measure (matrix 4 1 zero) (get s) 1"}),
      tx({NUL, NUL, NUL,
          "Syntax error 'measure (get q.ket.0) (get s1) 1 r'; index out of bounds.\nError: Syntax Error.\n" + NUL,
          "Syntax error 'measure (get q.ket.0) (get bad) 2 r'; index out of bounds.\nError: Syntax Error.\n" + NUL,
          "Syntax error 'measure_distribution (get q.ket.0) (get bad) 0 d'; subsystem dimension <= 0\n" + NUL,
          "Syntax error 'measure (get q.ket.0) (get huge) 0 r'; size too large\n" + NUL,
          "Error: Dot product error 1\n\n" + NUL, "Error: Dot product error 3\n\n" + NUL,
          "Error: Measurement error.\n\n" + NUL, "p[0] = -1\np[1] = -1\nError: Measurement error.\n\n" + NUL}));
}

TEST(Measure, EachMeasurementDrawsOnceByItsOwnRule) {
  // partial_measure compares rand() % 100 with the cumulative table; the
  // first entry is a hair above 50 (sqrt 0.5 squared), so a draw of 50 still
  // chooses outcome 0.
  const std::string measured =
      "partial_measure (matrix 2 1 (cast complex (sqrt 0.5)) (cast complex (sqrt 0.5))) (get s1) 0";
  for (unsigned seed = 1; seed <= 6; ++seed) {
    std::srand(seed);
    std::vector<std::string> expected = {NUL};
    for (int i = 0; i < 2; ++i) {
      const bool one = std::rand() % 100 > 50;
      expected.push_back("p[0] = 50\np[1] = 100\nresult = " + std::string(one ? "1" : "0") + "\npSq = 0.707107\n" +
                         columnEcho(one ? "01" : "10"));
    }
    EXPECT_EQ(transcript({kQubits, measured, measured}, seed), tx(expected)) << "seed " << seed;
  }
}

TEST(Measure, BellPairGivesEqualOutcomes) {
  const std::vector<std::string> program = {
      kQubits, "global (begin (new space four 4) (new system whole 1 four) (new integer a) (new matrix v 4 1))",
      "global (set v (apply_op (get s) 0 (matrix 2 2 QFT) (tensor (get q.ket.0) (get q.ket.0))))",
      "global (set v (apply_op (get whole) 0 (gate cnot 2 1 0) (get v)))",
      "global (set v (measure (get v) (get s) 0 a))", "global (set v (measure (get v) (get s) 1 r))",
      "get a", "get r"};
  bool seen[2] = {false, false};
  for (unsigned seed = 1; seed <= 16; ++seed) {
    const std::string out = transcript(program, seed);
    const size_t a = out.rfind("integer a = ");
    const size_t r = out.rfind("integer r = ");
    ASSERT_NE(a, std::string::npos) << out;
    ASSERT_NE(r, std::string::npos) << out;
    const char first = out[a + 12];
    EXPECT_EQ(first, out[r + 12]) << out;
    seen[first == '1'] = true;
  }
  EXPECT_TRUE(seen[0] && seen[1]);
}

TEST(MeasureQbit, OutcomesFollowBitQOfTheRowNumber) {
  EXPECT_EQ(transcript({kQubits, "measure_qbit (tensor (get q.ket.0) (get q.ket.1)) 0 r", "get r",
                        "measure_qbit (tensor (get q.ket.0) (get q.ket.1)) 1 r", "get r",
                        "measure_qbit (tensor (get q.ket.0) (get q.ket.1)) -1 r", "get r",
                        "measure_qbit (tensor (get q.ket.1) (get q.ket.1)) 31 r", "get r",
                        "measure_qbit (matrix 2 2 (complex 0 0) (complex 5 0) (complex 1 0) (complex 6 0)) 0 r"}),
            tx({NUL, columnEcho("0100"), "integer r = 1\n\n", columnEcho("0100"), "integer r = 0\n\n",
                columnEcho("0100"), "integer r = 1\n\n", columnEcho("0001"), "integer r = 0\n\n",
                // Only column 0 is measured and collapsed.
                matrixEcho({{"0 + 0i", "5 + 0i"}, {"1 + 0i", "6 + 0i"}})}));
}

TEST(MeasureQbit, Refusals) {
  EXPECT_EQ(transcript({"measure_qbit 5 0 r", "measure_qbit (matrix 2 1 ident) 0.5 r",
                        "measure_qbit (matrix 0 0 zero) 0 r"}),
            tx({"Syntax error 'measure_qbit 5 0 r'; type not matrix.\n" + NUL,
                "Syntax error 'measure_qbit (matrix 2 1 ident) 0.5 r'; type not integer.\n" + NUL,
                "Error: Error 1 in operator=\n\n" + NUL}));
}

TEST(IsUnitary, RowsMustBeOrthonormalWithinTolerance) {
  EXPECT_EQ(transcript({"is_unitary (matrix 2 2 QFT)", "is_unitary (gate cnot 3 0 2)", "is_unitary (gate h 1)",
                        "is_unitary (matrix 2 2 (complex 1.00004 0) (complex 0 0) (complex 0 0) (complex 1 0))",
                        "is_unitary (matrix 2 2 (complex 1.00005 0) (complex 0 0) (complex 0 0) (complex 1 0))",
                        "is_unitary (matrix 1 2 (cast complex (sqrt 0.5)) (cast complex (sqrt 0.5)))",
                        "is_unitary (matrix 2 1 (cast complex (sqrt 0.5)) (cast complex (sqrt 0.5)))",
                        "is_unitary (matrix 0 0 zero)", "is_unitary (matrix 1 1 (complex (sqrt -1.0) 0))",
                        "is_unitary 5"}),
            tx({"integer temp = 1\n\n", "integer temp = 1\n\n", "integer temp = 0\n\n", "integer temp = 1\n\n",
                "integer temp = 0\n\n", "integer temp = 1\n\n", "integer temp = 0\n\n", "integer temp = 1\n\n",
                "integer temp = 0\n\n",
                "Syntax error 'is_unitary 5'; type not matrix (isUnitary)\n"
                "Error: getMatrix error - type is NULL or not matrix\n" +
                    NUL}));
}

TEST(Transpose, ConjugatesAndMirrors) {
  EXPECT_EQ(transcript({"transpose (matrix 2 1 (complex 1 2) (complex 3 0))",
                        "transpose (transpose (matrix 2 1 (complex 1 2) (complex 3 0)))", "transpose (matrix 2 2 ident)",
                        "transpose (matrix 0 0 zero)", "transpose abc"}),
            tx({matrixEcho({{"1 + -2i", "3 + -0i"}}), matrixEcho({{"1 + 2i"}, {"3 + 0i"}}),
                matrixEcho({{"1 + -0i", "0 + -0i"}, {"0 + -0i", "1 + -0i"}}), "matrix temp = \n\n\n",
                "Syntax error 'transpose abc'; type not matrix (transpose)\n"
                "Error: getMatrix error - type is NULL or not matrix\n" +
                    NUL}));
}
