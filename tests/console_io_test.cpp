// Console output, user input and result files.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "builtins/language.h"
#include "interp/interpreter.h"
#include "shell/shell.h"
#include "transcript.h"
#include "runtime/console.h"

namespace {

const std::string Z = "0 + 0i\t";

std::string zeroGrid(int rows, int cols) {
  std::string grid;
  for (int r = 0; r < rows; ++r) {
    for (int c = 0; c < cols; ++c) grid += Z;
    grid += "\n";
  }
  return grid + "\n";
}

}  // namespace

TEST(Print, HeaderValueAndLineEndWithoutTouchingTheResult) {
  EXPECT_EQ(transcript({"print 5", "global (new integer x)", "print (get x)", "begin 7 (print 2.5)",
                        "print (get nosuch)"}),
            tx({"integer temp = 5\n" + NUL, NUL, "integer x = 0\n" + NUL, "double temp = 2.5\ninteger temp = 7\n\n",
                "NULL\n" + NUL}));
}

TEST(Print, ConsoleFormShowsTheLeadingTenByTenBlock) {
  EXPECT_EQ(transcript({"global (new matrix m 12 12)", "print (get m)", "print_one_line (get m)"}),
            tx({NUL, "matrix m = \n" + zeroGrid(10, 10) + "\n" + NUL, "\n" + zeroGrid(10, 10) + NUL}));
}

TEST(Print, OneLineContinuesTheLineAndNewLineEvaluatesNothing) {
  EXPECT_EQ(transcript({"begin (print_one_line 5) (print_one_line abc) (print_new_line 0)",
                        "begin 4 (print_new_line (print 9))", "print_one_line 5"}),
            tx({"5abc\n" + NUL, "\ninteger temp = 4\n\n", "5" + NUL}));
}

TEST(UserInput, IntegerKindConvertsTheNextLineLikeAtoi) {
  EXPECT_EQ(transcript({"user.input integer", "42", "user.input integer", "abc", "user.input integer", "  -17x9",
                        "user.input integer", "99999999999"}),
            tx({"Please enter an integer: \ninteger temp = 42\n\n", "Please enter an integer: \ninteger temp = 0\n\n",
                "Please enter an integer: \ninteger temp = -17\n\n",
                "Please enter an integer: \ninteger temp = 1215752191\n\n"}));
}

TEST(UserInput, OnlyTheFirst99CharactersCountAndTheRestOfTheLineIsDiscarded) {
  const std::string overlong = std::string(98, '0') + "12" + std::string(3000, '5');
  EXPECT_EQ(transcript({"user.input integer", overlong, "5"}),
            tx({"Please enter an integer: \ninteger temp = 1\n\n", "integer temp = 5\n\n"}));
}

TEST(UserInput, OtherKindsWaitForALineAndLeaveTheResult) {
  EXPECT_EQ(transcript({"user.input text", "hello", "begin 5 (user.input text)", "7", "user.input 5", "print 1"}),
            tx({"user.input: \n" + NUL, "user.input: \ninteger temp = 5\n\n",
                "Error: getString error - type is NULL or not string\n" + NUL, "integer temp = 1\n" + NUL}));
}

TEST(UserInput, EndOfInputCountsAsAnEmptyLineAndTheSessionEnds) {
  EXPECT_EQ(transcript({"user.input integer"}), tx({"Please enter an integer: \ninteger temp = 0\n\n"}));
  EXPECT_EQ(transcript({"begin 3 (user.input text)"}), tx({"user.input: \ninteger temp = 3\n\n"}));
  // Without any console the prompt is still shown.
  Interpreter interp(languageKeywords());
  std::ostringstream out;
  std::ostream* previous = setConsole(&out);
  Object result;
  handleLine(interp, "user.input integer", result);
  setConsole(previous);
  EXPECT_EQ(out.str(), "Please enter an integer: \ninteger temp = 0\n\n");
}

TEST(ResultFile, NewFileEmptiesAndEachPrintFileAppendsOneLine) {
  ScratchDir dir;
  dir.write("out.txt", "old line\n");
  EXPECT_EQ(transcript({"new_file out.txt", "print_file out.txt 1 2", "print_file out.txt 1 2", "new_file fresh.txt",
                        "print_file fresh.txt", "print_file fresh.txt"}),
            tx({NUL, NUL, NUL, NUL, NUL, NUL}));
  EXPECT_EQ(dir.read("out.txt"), "1,2,\n1,2,\n");
  EXPECT_EQ(dir.read("fresh.txt"), "\n\n");
}

TEST(ResultFile, FileFormWritesEveryElementWithoutHeader) {
  ScratchDir dir;
  EXPECT_EQ(transcript({"print_file t.txt 1 -2.5 abc", "global (new matrix m 12 12)",
                        "print_file t.txt (get m) 7", "global (new space q 2)",
                        "print_file t.txt (get q.ket.1) (get q.size)"}),
            tx({NUL, NUL, NUL, NUL, NUL}));
  EXPECT_EQ(dir.read("t.txt"), "1,-2.5,abc,\n"
                               "\n" + zeroGrid(12, 12) + ",7,\n"
                               "\n0 + 0i\t\n1 + 0i\t\n\n,2,\n");
}

TEST(ResultFile, ValueWithoutContentWritesNullToTheConsoleAndOnlyItsComma) {
  ScratchDir dir;
  EXPECT_EQ(transcript({"print_file t.txt (get nosuch) 3"}), tx({"NULL" + NUL}));
  EXPECT_EQ(dir.read("t.txt"), ",3,\n");
}

TEST(ResultFile, ErrorPartWayKeepsWhatWasWrittenWithoutTheLineEnd) {
  ScratchDir dir;
  EXPECT_EQ(transcript({"print_file t.txt 1 (new string s) 3", "print_file t.txt 4"}),
            tx({"Syntax error 'new string s'; illegal type (or cannot be used as array)\nError: Error.\n" + NUL, NUL}));
  EXPECT_EQ(dir.read("t.txt"), "1,4,\n");
}

TEST(ResultFile, UnopenablePathsAreReportedAndNoValueIsEvaluated) {
  ScratchDir dir;
  std::filesystem::create_directory("folder");
  EXPECT_EQ(transcript({"print_file nodir/out.txt (print 5)", "new_file nodir/out.txt", "print_file folder (print 5)",
                        "new_file folder", "begin 6 (new_file \"\")"}),
            tx({"Cannot open file 'nodir/out.txt'\n" + NUL, "Cannot open file 'nodir/out.txt'\n" + NUL,
                "Cannot open file 'folder'\n" + NUL, "Cannot open file 'folder'\n" + NUL,
                "Cannot open file ''\ninteger temp = 6\n\n"}));
  EXPECT_FALSE(std::filesystem::exists("nodir"));
  EXPECT_TRUE(std::filesystem::is_directory("folder"));
}

TEST(ResultFile, NameMustBeAStringSoADigitFirstNameIsRefused) {
  ScratchDir dir;
  const std::string error = "Error: getString error - type is NULL or not string\n" + NUL;
  EXPECT_EQ(transcript({"new_file 1.txt", "print_file 1.txt 5"}), tx({error, error}));
  EXPECT_EQ(dir.read("1.txt"), "<missing>");
}

TEST(ResultFile, FailedWriteIsReportedInsteadOfLostSilently) {
  if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full here";
  EXPECT_EQ(transcript({"print_file /dev/full 1 2", "new_file /dev/full"}),
            tx({"Cannot write file '/dev/full'\n" + NUL, NUL}));
}

TEST(ResultFile, RowsFromConcurrentInterpretersNeverInterleave) {
  // Each row (about 70 KB) goes out in one append, so two interpreters
  // writing to one file at once leave every row whole.
  ScratchDir dir;
  const int rowsEach = 100;
  dir.write("rows.dvx", "begin (new integer i) (while (< (get i) " + std::to_string(rowsEach) +
                            ") (print_file shared.txt (get i) (matrix 100 100 ident)) (set i (+ (get i) 1)))\n");
  const std::string run = "echo 'file rows.dvx' | " DOVEX_BINARY " > /dev/null";
  const std::string both = "(" + run + ") & (" + run + ") & wait";
  ASSERT_EQ(std::system(both.c_str()), 0);
  std::string grid;
  for (int r = 0; r < 100; ++r) {
    for (int c = 0; c < 100; ++c) grid += r == c ? "1 + 0i\t" : Z;
    grid += "\n";
  }
  const std::string text = dir.read("shared.txt");
  std::vector<int> seen(rowsEach, 0);
  size_t at = 0;
  while (at < text.size()) {
    const size_t comma = text.find(',', at);
    ASSERT_NE(comma, std::string::npos);
    const int i = std::atoi(text.substr(at, comma - at).c_str());
    ASSERT_TRUE(i >= 0 && i < rowsEach) << "at byte " << at;
    const std::string row = std::to_string(i) + ",\n" + grid + "\n,\n";
    ASSERT_EQ(text.compare(at, row.size(), row), 0) << "row broken at byte " << at;
    ++seen[static_cast<size_t>(i)];
    at += row.size();
  }
  for (int count : seen) EXPECT_EQ(count, 2);
}
