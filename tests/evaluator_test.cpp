// Literals, control forms and the scope rules of variables, as typed at the prompt.
#include <gtest/gtest.h>

#include "transcript.h"

TEST(Literals, NumericFirstCharacterDecides) {
  EXPECT_EQ(transcript({"5", "-5", "-", ".", ".5", "1.2.3", "+5", "abc", "12abc", "-x", "3.x", "1.5e3"}),
            tx({"integer temp = 5\n\n", "integer temp = -5\n\n", "string temp = -\n\n", "string temp = .\n\n",
                "double temp = 0.5\n\n", "string temp = 1.2.3\n\n", "string temp = +5\n\n", "string temp = abc\n\n",
                "integer temp = 12\n\n", "integer temp = 0\n\n", "double temp = 3\n\n", "double temp = 1500\n\n"}));
}

TEST(Literals, OutOfRangeIntegersKeepTheLow32BitsOfTheSaturatedValue) {
  EXPECT_EQ(transcript({"2147483648", "99999999999999999999", "-99999999999999999999", "4294967297"}),
            tx({"integer temp = -2147483648\n\n", "integer temp = -1\n\n", "integer temp = 0\n\n",
                "integer temp = 1\n\n"}));
}

TEST(Literals, BracketedLineIsOneLiteralToken) {
  EXPECT_EQ(transcript({"(add 1 2)", "(5)", "(a b)c", "begin", "((5))"}),
            tx({"string temp = add 1 2\n\n", "integer temp = 5\n\n", "string temp = a bc\n\n",
                "string temp = begin\n\n", "string temp =  (5)\n\n"}));
}

TEST(Evaluator, UnknownKeywordQuotesTheTidiedExpression) {
  EXPECT_EQ(transcript({"   foo    1     2   ", "foo((1) 2 )", "Add 1 2"}),
            tx({"Syntax error 'foo 1 2'\n" + NUL, "Syntax error 'foo ( (1) 2 )'\n" + NUL,
                "Syntax error 'Add 1 2'\n" + NUL}));
}

TEST(ControlForms, BeginWritesTheLastValueAndKeepsUntouchedResults) {
  EXPECT_EQ(transcript({"begin 1 2 3", "begin (nop 1) (foo 2)", "begin 7 (nop 1)", "NOP 1", "nop"}),
            tx({"integer temp = 3\n\n", "Syntax error 'foo 2'\n" + NUL, "integer temp = 7\n\n", NUL,
                "string temp = nop\n\n"}));
}

TEST(ControlForms, WhileNeverWritesTheResultAndChecksItsCondition) {
  EXPECT_EQ(transcript({"while 0 foo", "while 1.5 foo", "while abc foo", "begin 4 (while 0 1)"}),
            tx({NUL, "Syntax error; condition of while loop not integer\n" + NUL,
                "Syntax error; condition of while loop not integer\n" + NUL, "integer temp = 4\n\n"}));
}

TEST(ControlForms, WhileLoopVariablesPersistAcrossIterations) {
  // The loop's scope lives for the whole loop: the condition sees the value
  // the body assigned in the previous iteration.
  EXPECT_EQ(transcript({"global (new integer n)",
                        "begin (new integer k) (set k 1) (while (get k) (set k 0) (set n 9)) (get n)",
                        "begin (new integer c) (set c 1) (while (get c) (new integer c)) (get c)"}),
            tx({NUL, "integer n = 9\n\n", "integer c = 1\n\n"}));
}

TEST(ControlForms, IfChoosesABranchAndReportsThrownMessages) {
  EXPECT_EQ(transcript({"if 1 a b", "if 0 a b", "if 0 a", "if 1.5 a b", "if 1 (new string s) b", "if (new string s) 1 2"}),
            tx({"string temp = a\n\n", "string temp = b\n\n", "string temp = \n\n",
                "Syntax error 'if 1.5 a b': getInteger error - type is NULL or not int\n" + NUL,
                "Syntax error 'new string s'; illegal type (or cannot be used as array)\n"
                "Syntax error 'if 1 (new string s) b': Error.\n" + NUL,
                "Syntax error 'new string s'; illegal type (or cannot be used as array)\nError: Error.\n" + NUL}));
}

TEST(Variables, NewAtThePromptEndsWithTheLineGlobalPersists) {
  EXPECT_EQ(transcript({"new double d", "!state", "get d", "global (new integer x)", "set x 5", "get x", "nop 1",
                        "get x"}),
            tx({NUL, "State List:\n\n\n", NUL, NUL, NUL, "integer x = 5\n\n", NUL, "integer x = 5\n\n"}));
}

TEST(Variables, ScalarKindsStartAtZero) {
  EXPECT_EQ(transcript({"global (new double d)", "global (new complex z)", "get d", "get z", "set d 5", "get d",
                        "new integer temp"}),
            tx({NUL, NUL, "double d = 0\n\n", "complex z = 0 + 0i\n\n", NUL, "double d = 0\n\n",
                "Illegal name 'temp'; on line 'new integer temp'\n" + NUL}));
}

TEST(Variables, DeleteActsOnTheCallersScope) {
  EXPECT_EQ(transcript({"global (new integer x)", "begin (delete x)", "global (delete x)", "!state", "delete x",
                        "!state", "delete x", "begin (new integer y) (delete y) (get y)"}),
            tx({NUL, "Error: Cannot delete variable\n" + NUL, "Error: Cannot delete variable\n" + NUL,
                "State List:\n<integer, x>\n\n\n", NUL, "State List:\n\n\n", NUL, NUL}));
}

TEST(Variables, SecondNewShadowsForGetButSetWritesBoth) {
  EXPECT_EQ(transcript({"begin (new integer x) (set x 1) (new integer x) (get x)",
                        "begin (new integer x) (new integer x) (set x 2) (get x)",
                        "begin (new integer x) (begin (new integer x) (set x 2)) (get x)"}),
            tx({"integer x = 0\n\n", "integer x = 2\n\n", "integer x = 2\n\n"}));
}

TEST(Variables, EvaluationsSeeASnapshotOfTheirCallersVariables) {
  EXPECT_EQ(transcript({"begin (global (new integer g)) (get g)", "begin (global (new integer h)) (global (get h))",
                        "get g", "begin (new integer x) (set x 3) (global (get x))",
                        "begin (new integer a) (set a (begin (new integer a) 4)) (get a)"}),
            tx({NUL, "integer h = 0\n\n", "integer g = 0\n\n", NUL, "integer a = 4\n\n"}));
}

TEST(Variables, ArgumentNewHasNoLastingEffect) {
  EXPECT_EQ(transcript({"begin (if 1 (new integer q) 0) (get q)"}), tx({NUL}));
}

TEST(Variables, SizeReadsTheDotSizeVariable) {
  EXPECT_EQ(transcript({"global (new integer v.size)", "set v.size 4", "size v"}),
            tx({NUL, NUL, "integer v.size = 4\n\n"}));
}

TEST(Variables, ResultOfGetOutlivesItsVariable) {
  EXPECT_EQ(transcript({"begin (new integer x) (set x 7) (get x)", "begin (new integer x) (set x 7) (get x) (delete x)",
                        "global (new integer g)", "begin (get g) (global (set g 3))"}),
            tx({"integer x = 7\n\n", "integer x = 7\n\n", NUL, "integer g = 3\n\n"}));
}
