// The arithmetic keywords as a user types them: admissible pairs, 32-bit
// wrapping, refused pairs with their exact messages, and matrix operands.
#include <gtest/gtest.h>

#include <string>

#include "transcript.h"

namespace {

std::string integer(const std::string& v) { return "integer temp = " + v + "\n\n"; }
std::string real(const std::string& v) { return "double temp = " + v + "\n\n"; }
std::string complexEcho(const std::string& v) { return "complex temp = " + v + "\n\n"; }
std::string syntax(const std::string& text, const std::string& reason) {
  return "Syntax error '" + text + "'" + reason + "\n" + NUL;
}

}  // namespace

TEST(Arithmetic, IntegersWrapModulo2To32) {
  EXPECT_EQ(transcript({"add 2147483647 1", "+ -2147483648 -1", "subtract -2147483648 1", "- 5 7", "mult 65536 65536",
                        "* 46341 46341", "mult -2147483648 -1"}),
            tx({integer("-2147483648"), integer("2147483647"), integer("2147483647"), integer("-2"), integer("0"),
                integer("-2147479015"), integer("-2147483648")}));
}

TEST(Arithmetic, IntegerDivisionTruncatesAndNeverTraps) {
  EXPECT_EQ(transcript({"div 7 2", "/ -7 2", "div -2147483648 -1", "div 7 0", "div 0 0"}),
            tx({integer("3"), integer("-3"), integer("-2147483648"), syntax("div 7 0", "; division by zero"),
                syntax("div 0 0", "; division by zero")}));
}

TEST(Arithmetic, ModAlwaysLandsInZeroToAbsoluteDivisorMinusOne) {
  EXPECT_EQ(transcript({"mod 7 3", "mod -7 3", "mod 5 -3", "mod -5 -3", "mod -6 -3", "mod -2147483648 -1",
                        "mod -1 -2147483648", "mod -2147483648 -2147483648", "mod 2147483647 -2147483648",
                        "mod 7 0", "mod 7.0 2.0", "mod 7 2.0"}),
            tx({integer("1"), integer("2"), integer("2"), integer("1"), integer("0"), integer("0"),
                integer("2147483647"), integer("0"), integer("2147483647"), syntax("mod 7 0", "; cannot mod these types"),
                syntax("mod 7.0 2.0", "; cannot mod these types"), syntax("mod 7 2.0", "; types don't match")}));
}

TEST(Arithmetic, AndIsBitwiseOnIntegersOnly) {
  EXPECT_EQ(transcript({"and 6 3", "and -1 -2147483648", "and (< 1 2) (< 2 3)", "and 1.0 1.0", "and 1 1.0"}),
            tx({integer("2"), integer("-2147483648"), integer("1"), syntax("and 1.0 1.0", "; cannot 'and' these types"),
                syntax("and 1 1.0", "; types don't match")}));
}

TEST(Arithmetic, DoublesFollowIeeeWithoutMessages) {
  EXPECT_EQ(transcript({"add 0.1 0.2", "subtract 1.0 0.25", "mult 1.5 -2.0", "div 7.0 2.0", "div 1.0 0.0",
                        "div -1.0 0.0", "div 0.0 0.0", "mult 0.0 -1.0"}),
            tx({real("0.3"), real("0.75"), real("-3"), real("3.5"), real("inf"), real("-inf"), real("-nan"),
                real("-0")}));
}

TEST(Arithmetic, ComplexOperandsAndTheSilentComplexDivision) {
  EXPECT_EQ(transcript({"add (complex 1 2) (complex 3 -1)", "subtract (complex 1 2) (complex 3 -1)",
                        "mult (complex 0 1) (complex 0 1)", "mult (complex 1 2) (complex 3 4)",
                        "div (complex 1 2) (complex 3 4)", "div a b"}),
            tx({complexEcho("4 + 1i"), complexEcho("-2 + 3i"), complexEcho("-1 + 0i"), complexEcho("-5 + 10i"), NUL,
                NUL}));
}

TEST(Arithmetic, ScalarsMultiplyOnlyFromTheLeftAndIntegersNeverWiden) {
  EXPECT_EQ(transcript({"mult 2.5 4", "mult 4 2.5", "add 1 1.0", "subtract 1.0 1", "div 7.0 2", "div_d 7 2",
                        "div_d 7.0 2", "div_d 7 2.0", "div_d 1.0 4.0", "div_d 1 0", "div_d -1 0"}),
            tx({real("10"), syntax("mult 4 2.5", "; types don't match"),
                "Syntax error 'add 1 1.0'; types don't match\nint1: integer temp = 1int2: double temp = 1\n" + NUL,
                syntax("subtract 1.0 1", "; types don't match"), syntax("div 7.0 2", "; types don't match"), real("3.5"),
                real("3.5"), syntax("div_d 7 2.0", "; types don't match"), real("0.25"), real("inf"), real("-inf")}));
}

TEST(Arithmetic, DivDRefusesSameTypedNonNumbers) {
  // Never the stray double 1 a literal reading would give.
  EXPECT_EQ(transcript({"div_d a b", "div_d (complex 1 0) (complex 1 0)", "begin 5 (div_d x y)"}),
            tx({syntax("div_d a b", "; cannot divide these types"),
                syntax("div_d (complex 1 0) (complex 1 0)", "; cannot divide these types"),
                "Syntax error 'div_d x y'; cannot divide these types\n" + integer("5")}));
}

TEST(Arithmetic, AddDumpsBothOperandsOnOneLine) {
  EXPECT_EQ(transcript({"add 1", "add ,", "add (nop 0) 1", "begin (new double x) (add (get x) abc)"}),
            tx({"Syntax error 'add 1'; types don't match\nint1: integer temp = 1int2: string temp = \n" + NUL,
                syntax("add ,", "; cannot add these types"),
                "Syntax error 'add (nop 0) 1'; types don't match\nint1: NULLint2: integer temp = 1\n" + NUL,
                "Syntax error 'add (get x) abc'; types don't match\nint1: double x = 0int2: string temp = abc\n" +
                    NUL}));
}

TEST(Arithmetic, BothOperandsAreEvaluatedBeforeTheTypeTest) {
  EXPECT_EQ(transcript({"begin (new integer n) (subtract (set n 5) 1.0) (get n)"}),
            tx({"Syntax error 'subtract (set n 5) 1.0'; types don't match\ninteger n = 5\n\n"}));
}

TEST(Arithmetic, AFailedOperatorLeavesThePreviousResult) {
  EXPECT_EQ(transcript({"begin 9 (div 1 0) (mod 1 0) (mult a b) (subtract a b) (and a b)"}),
            tx({"Syntax error 'div 1 0'; division by zero\nSyntax error 'mod 1 0'; cannot mod these types\n"
                "Syntax error 'mult a b'; cannot multiply these types\n"
                "Syntax error 'subtract a b'; cannot subtract these types\n"
                "Syntax error 'and a b'; cannot 'and' these types\n" +
                integer("9")}));
}

TEST(ArithmeticMatrices, SumsDifferencesAndProductsOfKetsAndBras) {
  const std::string q = "begin (new space q 2) ";
  EXPECT_EQ(
      transcript({q + "(add (get q.ket.0) (get q.ket.1))", q + "(- (get q.ket.0) (get q.ket.1))",
                  q + "(mult (get q.ket.0) (get q.bra.1))", q + "(* (get q.bra.1) (get q.ket.1))",
                  q + "(mult (complex 0 2) (get q.ket.1))", q + "(mult 0.5 (get q.bra.0))"}),
      tx({"matrix temp = \n1 + 0i\t\n1 + 0i\t\n\n\n\n", "matrix temp = \n1 + 0i\t\n-1 + 0i\t\n\n\n\n",
          "matrix temp = \n0 + 0i\t1 + 0i\t\n0 + 0i\t0 + 0i\t\n\n\n\n", "matrix temp = \n1 + 0i\t\n\n\n\n",
          "matrix temp = \n0 + 0i\t\n0 + 2i\t\n\n\n\n", "matrix temp = \n0.5 + 0i\t0 + 0i\t\n\n\n\n"}));
}

TEST(ArithmeticMatrices, ScalingACopyLeavesTheVariableAlone) {
  EXPECT_EQ(transcript({"begin (new space q 2) (mult 3.0 (get q.ket.0)) (get q.ket.0)"}),
            tx({"matrix q.ket.0 = \n1 + 0i\t\n0 + 0i\t\n\n\n\n"}));
}

TEST(ArithmeticMatrices, ShapeAndOrderRefusals) {
  const std::string q = "begin (new space q 2) ";
  EXPECT_EQ(transcript({q + "(add (get q.ket.0) (get q.bra.0))", q + "(subtract (get q.ket.0) (get q.bra.0))",
                        q + "(mult (get q.ket.0) (get q.ket.1))", q + "(mult (get q.ket.0) 2.0)",
                        q + "(mult 2 (get q.ket.0))", q + "(div (get q.ket.0) (get q.ket.0))"}),
            tx({syntax("add (get q.ket.0) (get q.bra.0)", "; matrix wrong size for add"),
                syntax("subtract (get q.ket.0) (get q.bra.0)", "; matrix wrong size for subtract"),
                "Syntax error 'mult (get q.ket.0) (get q.ket.1)'; matrix wrong size for mult\nA is 2x1\nB is 2x1\n" +
                    NUL,
                syntax("mult (get q.ket.0) 2.0", "; types don't match"),
                syntax("mult 2 (get q.ket.0)", "; types don't match"), NUL}));
}

TEST(ArithmeticMatrices, ProductBeyondTheElementBudgetIsRefused) {
  // 16384 × 16384 elements would be 4 GiB: refused before allocating.
  EXPECT_EQ(transcript({"begin (new matrix k 16384 1) (new matrix b 1 16384) 7 (mult (get k) (get b))",
                        "begin (new matrix k 16384 1) (new matrix b 1 16384) (colSize (mult (get b) (get k)))"}),
            tx({"Syntax error 'mult (get k) (get b)'; size too large\n" + integer("7"), integer("1")}));
}
