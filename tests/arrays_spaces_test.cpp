// Declarations with `new` (spaces, systems, matrices, arrays and scalars),
// composed names, matrix element access and a small program end to end.
#include <gtest/gtest.h>

#include <string>

#include "transcript.h"

namespace {

std::string integer(const std::string& name, int v) { return "integer " + name + " = " + std::to_string(v) + "\n\n"; }
std::string text(const std::string& v) { return "string temp = " + v + "\n\n"; }

}  // namespace

TEST(Spaces, KetsBrasAndSizeButNoVariableOfTheSpaceName) {
  EXPECT_EQ(transcript({"global (new space q 2)", "!state", "get q.ket.1", "get q.bra.0", "size q", "get q",
                        "global (new space r 1)", "get r.ket.0"}),
            tx({NUL,
                "State List:\n<matrix, q.ket.0>\n<matrix, q.bra.0>\n<matrix, q.ket.1>\n<matrix, q.bra.1>\n"
                "<integer, q.size>\n\n\n",
                "matrix q.ket.1 = \n0 + 0i\t\n1 + 0i\t\n\n\n\n", "matrix q.bra.0 = \n1 + 0i\t0 + 0i\t\n\n\n\n",
                integer("q.size", 2), NUL, NUL, "matrix r.ket.0 = \n1 + 0i\t\n\n\n\n"}));
}

TEST(Spaces, RefusedDimensions) {
  // Dimension 8193 would need 2·8193² elements, beyond the budget of 2^27.
  EXPECT_EQ(transcript({"global (new space q 0)", "global (new space q -1)", "global (new space q 8193)",
                        "global (new space q 2.0)", "new space temp 2", "!state"}),
            tx({"Syntax error - dim <= 0\n" + NUL, "Syntax error - dim <= 0\n" + NUL,
                "Syntax error - dim too large\n" + NUL, "Error: getInteger error - type is NULL or not int\n" + NUL,
                "Illegal name 'temp'; on line 'new space temp 2'\n" + NUL, "State List:\n\n\n"}));
}

TEST(Spaces, RedeclaringAppendsAndTheNewestWins) {
  EXPECT_EQ(transcript({"begin (new space q 3) (new space q 2) (rowSize (get q.ket.2))",
                        "begin (new space q 3) (new space q 2) (rowSize (get q.ket.1))"}),
            tx({"integer temp = 3\n\n", "integer temp = 2\n\n"}));
}

TEST(Systems, CopyTheDimensionsOfNamedSpaces) {
  EXPECT_EQ(transcript({"begin (new space a 2) (new space b 3) (new system s 2 a b) (get s)",
                        "begin (new space a 2) (new space b 3) (new system s 2 a b) (size s)",
                        "begin (new system s 0) (get s)", "begin (new system s -4) (size s)",
                        "begin (new space a 2) (new system s 1 a) (set a.size 5) (get s)"}),
            tx({"system s = 2, 3, \n\n", integer("s.size", 2), "system s = \n\n", integer("s.size", 0),
                "system s = 2, \n\n"}));
}

TEST(Systems, AMissingSpaceCreatesNothing) {
  EXPECT_EQ(transcript({"global (new system s 1 c)", "!state"}),
            tx({"Error: getInteger error - type is NULL or not int\n" + NUL, "State List:\n\n\n"}));
}

TEST(Matrices, NewMatrixIsZeroAndRefusesBadShapes) {
  EXPECT_EQ(transcript({"begin (new matrix m 2 3) (get m)", "new matrix m 0 3", "new matrix m 3 -1",
                        "new matrix m 16384 8193", "new matrix m 2147483647 2147483647", "new matrix m 2 x"}),
            tx({"matrix m = \n0 + 0i\t0 + 0i\t0 + 0i\t\n0 + 0i\t0 + 0i\t0 + 0i\t\n\n\n\n",
                "Syntax error create matrix\n" + NUL, "Syntax error create matrix\n" + NUL,
                "Syntax error create matrix\n" + NUL, "Syntax error create matrix\n" + NUL,
                "Error: getInteger error - type is NULL or not int\n" + NUL}));
}

TEST(Arrays, ElementsNamedByIndexWithASize) {
  EXPECT_EQ(transcript({"global (new array a integer 3)", "!state", "global (new array d double 1)", "get_index d 0",
                        "get d", "global (new array m matrix 2)", "get m.1", "global (new array z complex 0)",
                        "size z"}),
            tx({NUL, "State List:\n<integer, a.size>\n<integer, a.0>\n<integer, a.1>\n<integer, a.2>\n\n\n", NUL, NUL,
                "double d = 0\n\n", NUL, "matrix m.1 = \n0 + 0i\t\n\n\n\n", NUL, integer("z.size", 0)}));
}

TEST(Arrays, IllegalElementTypesAreNoticedAtTheFirstElement) {
  EXPECT_EQ(transcript({"global (new array s string 0)", "size s", "global (new array t string 2)", "size t",
                        "global (new vector v)", "get v"}),
            tx({NUL, integer("s.size", 0),
                "Syntax error 'new array t string 2'; illegal type (or cannot be used as array)\nError: Error.\n" + NUL,
                integer("t.size", 2),
                "Syntax error 'new vector v'; illegal type (or cannot be used as array)\nError: Error.\n" + NUL, NUL}));
}

TEST(Index, ComposesNamesFromIntegersAndWords) {
  EXPECT_EQ(transcript({"index a 1 2", "index a x", "index a", "index a (+ 1 2) y -4", "index a \"\" 3",
                        "index a 1.5", "begin (index a 1) (index a 1 (complex 0 0))", "index 5 1"}),
            tx({text("a.1.2"), text("a.x"), text("a"), text("a.3.y.-4"), text("a.3"),
                "Syntax error 'index a 1.5'; index not integer or string.\n" + NUL,
                "Syntax error 'index a 1 (complex 0 0)'; index not integer or string.\n" + text("a.1"),
                "Error: getString error - type is NULL or not string\n" + NUL}));
}

TEST(Index, GetIndexReadsTheNamedElement) {
  EXPECT_EQ(transcript({"global (new array a integer 3)", "set (index a 1) 7", "get_index a 1", "get (index a 1)",
                        "get_index a 5", "get_index a 1.0", "get_index 1 1", "begin 2 (get_index a x)"}),
            tx({NUL, NUL, integer("a.1", 7), integer("a.1", 7), NUL, "Syntax error 'get_index a 1.0'\n" + NUL,
                "Syntax error 'get_index 1 1'\n" + NUL, "Syntax error 'get_index a x'\n" + integer("temp", 2)}));
}

TEST(ElementAccess, RowAndColumnSizes) {
  EXPECT_EQ(transcript({"global (new space q 3)", "rowSize (get q.ket.0)", "colSize (get q.ket.0)",
                        "rowSize (get q.bra.0)", "colSize (get q.bra.0)", "rowSize q.ket.0"}),
            tx({NUL, integer("temp", 3), integer("temp", 1), integer("temp", 1), integer("temp", 3),
                "Error: getMatrix error - type is NULL or not matrix\n" + NUL}));
}

TEST(ElementAccess, GetElementReportsEveryErrorItself) {
  EXPECT_EQ(transcript({"global (new space q 2)", "get_element (get q.bra.1) 0 1", "get_element q.bra.1 0 1",
                        "get_element (get q.bra.1) 0 1.0", "get_element (get q.bra.1) x 1.0"}),
            tx({NUL, "complex temp = 1 + 0i\n\n",
                "Syntax error 'get_element q.bra.1 0 1': getMatrix error - type is NULL or not matrix\n" + NUL,
                "Syntax error 'get_element (get q.bra.1) 0 1.0': getInteger error - type is NULL or not int\n" + NUL,
                "Syntax error 'get_element (get q.bra.1) x 1.0': getInteger error - type is NULL or not int\n" +
                    NUL}));
  // The bounds failure first prints its own line, which holds an address.
  const std::string out = transcript({"global (new space q 2)", "get_element (get q.bra.1) 1 0"});
  const std::string tail = "Syntax error 'get_element (get q.bra.1) 1 0': Error 1 in operator()\n" + NUL;
  ASSERT_GE(out.size(), tail.size());
  EXPECT_EQ(out.substr(out.size() - tail.size()), tail);
  EXPECT_NE(out.find(", 1, 1, 0, 2)\n"), std::string::npos) << out;
}

TEST(ElementAccess, SetElementReturnsAChangedCopy) {
  EXPECT_EQ(transcript({"global (new space q 2)", "set_element (get q.bra.0) 0 1 2.5",
                        "set_element (get q.bra.0) 0 1 (complex 0 -1)", "get q.bra.0",
                        "set q.bra.0 (set_element (get q.bra.0) 0 0 (complex 3 0))", "get q.bra.0"}),
            tx({NUL, "matrix temp = \n1 + 0i\t2.5 + 0i\t\n\n\n\n", "matrix temp = \n1 + 0i\t0 + -1i\t\n\n\n\n",
                "matrix q.bra.0 = \n1 + 0i\t0 + 0i\t\n\n\n\n", NUL, "matrix q.bra.0 = \n3 + 0i\t0 + 0i\t\n\n\n\n"}));
}

TEST(ElementAccess, SetElementChecksMatrixThenValueThenColumnThenRow) {
  EXPECT_EQ(transcript({"global (new space q 2)", "set_element x 0 y 2", "set_element (get q.bra.0) y x 2",
                        "set_element (get q.bra.0) y x 2.0", "begin 1 (set_element (get q.bra.0) x 0 2.0)"}),
            tx({NUL, "Syntax error 'set_element x 0 y 2': getMatrix error - type is NULL or not matrix\n" + NUL,
                "Syntax error 'set_element (get q.bra.0) y x 2': getComplex error - type is NULL or not complex\n" +
                    NUL,
                "Syntax error 'set_element (get q.bra.0) y x 2.0': getInteger error - type is NULL or not int\n" +
                    NUL,
                "Syntax error 'set_element (get q.bra.0) x 0 2.0': getInteger error - type is NULL or not int\n" +
                    integer("temp", 1)}));
}

TEST(Vector, CountsItsArgumentsWithoutEvaluatingThem) {
  EXPECT_EQ(transcript({"vector 1 2 3", "vector (foo) (new string s)", "vector"}),
            tx({"create vector of size 3\n" + NUL, "create vector of size 2\n" + NUL, text("vector")}));
}

TEST(Program, SuperpositionAndACountingLoop) {
  // Declares a qubit, builds (|0> + |1>)/sqrt 2 with mult and add, counts to
  // the dimension in a loop, and projects the state on <0| + <1|.
  EXPECT_EQ(transcript({"begin (new space q 2) (new matrix psi 2 1) "
                        "(set psi (mult (sqrt 0.5) (add (get q.ket.0) (get q.ket.1)))) "
                        "(new integer n) (while (< (get n) (size q)) (set n (+ (get n) 1))) "
                        "(if (== (get n) 2) (get_element (mult (add (get q.bra.0) (get q.bra.1)) (get psi)) 0 0) no)",
                        "begin (new space q 2) (new matrix psi 2 1) (set psi (mult 0.5 (get q.ket.1))) (get psi)"}),
            tx({"complex temp = 1.41421 + 0i\n\n", "matrix psi = \n0 + 0i\t\n0.5 + 0i\t\n\n\n\n"}));
}
