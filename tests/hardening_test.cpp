// Hostile input: nothing typed or scripted may crash the interpreter, hang
// it, or cost the user's globals. Each case ends with a global still intact.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "transcript.h"
#include "runtime/break_flag.h"

namespace {

// Runs [lines] after making a global g = 5 and checks that g survives.
std::string withGlobalCheck(std::vector<std::string> lines) {
  lines.insert(lines.begin(), {"global (new integer g)", "set g 5"});
  lines.push_back("get g");
  const std::string out = transcript(lines);
  const std::string head = tx({NUL, NUL});
  const std::string tail = P + "integer g = 5\n\n";
  const bool framed = out.size() >= head.size() + tail.size() && out.rfind(head, 0) == 0 &&
                      out.compare(out.size() - tail.size(), tail.size(), tail) == 0;
  EXPECT_TRUE(framed) << "the global did not survive:\n" << out;
  if (!framed) return out;
  // Everything between the set-up and the final check.
  return out.substr(head.size(), out.size() - head.size() - tail.size());
}

}  // namespace

TEST(Hardening, IntegerDivisionNeverTraps) {
  EXPECT_EQ(withGlobalCheck({"div 5 0", "div -2147483648 -1", "mod -2147483648 -1", "mod 7 0", "powm 3 5 0",
                             "powm -2147483648 1 -1"}),
            tx({"Syntax error 'div 5 0'; division by zero\n" + NUL, "integer temp = -2147483648\n\n",
                "integer temp = 0\n\n", "Syntax error 'mod 7 0'; cannot mod these types\n" + NUL,
                "Syntax error 'powm 3 5 0'; division by zero\n" + NUL, "integer temp = 0\n\n"}));
}

TEST(Hardening, SizesThatCannotBeStoredAreRefused) {
  EXPECT_EQ(withGlobalCheck({"gate cnot 40 0 1", "matrix 100000 100000 zero", "new space q 1000000000",
                             "tensor (matrix 20000 1 zero) (matrix 20000 1 zero)", "new array a integer 2000000000",
                             "new matrix m 65536 65536"}),
            tx({"Syntax Error 'gate cnot 40 0 1'; dimSize too large\n" + NUL,
                "Syntax error 'matrix 100000 100000 zero'; size too large\n" + NUL,
                "Syntax error - dim too large\n" + NUL,
                "Syntax error 'tensor (matrix 20000 1 zero) (matrix 20000 1 zero)'; size too large\n" + NUL,
                "Syntax error 'new array a integer 2000000000'; size too large\n" + NUL,
                "Syntax error create matrix\n" + NUL}));
}

TEST(Hardening, SystemsWhoseDimensionProductOverflows) {
  // Two subsystems of 2·10^9 states each: 4·10^18 basis states.
  EXPECT_EQ(withGlobalCheck({"global (new space h 2)", "global (set h.size 2000000000)",
                             "global (new system t 2 h h)",
                             "apply_op (get t) 0 (matrix 2 2 ident) (matrix 2 1 zero)",
                             "partial_measure (matrix 2 1 zero) (get t) 0",
                             "measure_distribution (matrix 2 1 zero) (get t) 1 p"}),
            tx({NUL, NUL, NUL,
                "Syntax error 'apply_op (get t) 0 (matrix 2 2 ident) (matrix 2 1 zero)'; matrix wrong size for mult\n" +
                    NUL,
                "Syntax error 'partial_measure (matrix 2 1 zero) (get t) 0'; size too large\n" + NUL,
                "Syntax error 'measure_distribution (matrix 2 1 zero) (get t) 1 p'; size too large\n" + NUL}));
}

TEST(Hardening, NestingPastTheLimitTypedScriptedAndSelfRunning) {
  ScratchDir dir;
  std::string deep = "begin ";
  for (int i = 0; i < 7000; ++i) deep += "(begin ";
  dir.write("deep.txt", deep + "5");
  dir.write("self.txt", "begin\n  (file self.txt)\n");
  // A long script nested deeply is stopped by the text its levels would hold.
  std::string wide = "begin ";
  for (int i = 0; i < 1000; ++i) wide += "(begin ";
  dir.write("wide.txt", wide + std::string(190000, 'x'));
  // The deepest line that can be typed still evaluates.
  std::string typed;
  for (int i = 0; i < 340; ++i) typed += "begin(";
  EXPECT_EQ(withGlobalCheck({"file deep.txt", "file self.txt", "file wide.txt", typed + "5"}),
            tx({"Error: nesting too deep\n" + NUL, "Error: nesting too deep\n" + NUL, "Error: nesting too deep\n" + NUL,
                "integer temp = 5\n\n"}));
}

TEST(Hardening, ScriptFilesThatAreNotScripts) {
  ScratchDir dir;
  std::filesystem::create_directory("folder");
  dir.write("binary.bin", std::string("\x00\xff\x01(begin \x80\x81", 12) + std::string(2000, '\xfe'));
  const std::string out = withGlobalCheck({"file folder", "file /dev/zero", "file binary.bin"});
  EXPECT_EQ(out.substr(0, tx({"Cannot open file 'folder'\n" + NUL, "Cannot open file '/dev/zero'\n" + NUL}).size()),
            tx({"Cannot open file 'folder'\n" + NUL, "Cannot open file '/dev/zero'\n" + NUL}));
}

TEST(Hardening, StrangeBytesInALine) {
  EXPECT_EQ(withGlobalCheck({"\xff\xfe (add 1 2)", std::string("add 1 2\0 junk", 13), std::string(3000, 'x'),
                             "caf\xc3\xa9"}),
            tx({"Syntax error '\xff\xfe (add 1 2)'\n" + NUL, "integer temp = 3\n\n", "Error: line too long\n\n",
                "string temp = caf\xc3\xa9\n\n"}));
}

TEST(Hardening, EndOfInputWhileUserInputWaits) {
  EXPECT_EQ(transcript({"global (new integer g)", "user.input integer"}),
            tx({NUL, "Please enter an integer: \ninteger temp = 0\n\n"}));
}

TEST(Hardening, ResultFilesThatCannotBeWritten) {
  ScratchDir dir;
  std::filesystem::create_directory("folder");
  EXPECT_EQ(withGlobalCheck({"new_file folder", "print_file folder 1", "print_file nodir/x.txt (print 1)",
                             "new_file nodir/x.txt"}),
            tx({"Cannot open file 'folder'\n" + NUL, "Cannot open file 'folder'\n" + NUL,
                "Cannot open file 'nodir/x.txt'\n" + NUL, "Cannot open file 'nodir/x.txt'\n" + NUL}));
}

TEST(Hardening, MeasuringStatesWithNaNAmplitudes) {
  const std::string nanState = "(matrix 2 1 (complex (sqrt -1.0) 0) (complex 1 0))";
  const std::string out = withGlobalCheck({"global (new space n 2)", "global (new system s 1 n)", "global (new integer o)",
                                           "measure " + nanState + " (get s) 0 o",
                                           "partial_measure " + nanState + " (get s) 0",
                                           "measure_qbit " + nanState + " 0 o"});
  EXPECT_NE(out.find("Error: Measurement error.\n\nNULL"), std::string::npos) << out;
  EXPECT_NE(out.find("nan"), std::string::npos) << out;
}

TEST(Hardening, APendingBreakStopsEveryLongBuiltinAndTheSessionGoesOn) {
  // Ctrl-C sets the break flag; the long built-ins poll it between blocks of
  // work and raise the loop's break. Small ones finish before their first look.
  ScratchDir dir;
  const std::string qubits17 = "global (new system s 17" + [] {
    std::string q;
    for (int i = 0; i < 17; ++i) q += " q";
    return q;
  }() + ")";
  const std::string ident = "(matrix 300 300 ident)";
  const std::string state = "(matrix 131072 1 zero)";
  const std::vector<std::string> longLines = {
      "mult " + ident + " " + ident, "is_unitary " + ident, "tensor " + ident + " (matrix 2 2 ident)",
      "transpose " + ident, "add " + ident + " " + ident, "powm 7 2000000000 2147483647",
      "apply_op (get s) 0 (matrix 2 2 ident) " + state, "apply_op (get s) 99 (matrix 2 2 ident) " + state,
      "measure " + state + " (get s) 3 r", "measure_qbit " + state + " 3 r",
      "measure_distribution " + state + " (get s) 3 r", "print_file big.txt 1 " + ident,
      "set v (apply_op (get s) 0 (matrix 2 2 ident) (get v))"};
  std::vector<std::string> lines = {"global (new space q 2)", qubits17, "global (new matrix v 131072 1)",
                                    "set v (set_element (get v) 5 0 (complex 1 0))"};
  lines.insert(lines.end(), longLines.begin(), longLines.end());
  lines.insert(lines.end(), {"if 1 (mult " + ident + " " + ident + ") 0", "get_element (get v) 5 0", "powm 7 5 100"});
  requestBreak();
  const std::string out = withGlobalCheck(lines);
  clearBreak();
  std::string expected = tx({NUL, NUL, NUL, NUL});
  for (size_t i = 0; i < longLines.size(); ++i) expected += tx({"Error: Error: User break.\n" + NUL});
  expected += tx({"Syntax error 'if 1 (mult " + ident + " " + ident + ") 0': Error: User break.\n" + NUL,
                  "complex temp = 1 + 0i\n\n", "integer temp = 7\n\n"});
  EXPECT_EQ(out, expected);
  // The extension commands that walk a whole state stop the same way.
  requestBreak();
  const std::string views = transcriptWithExtensions(
      {"global (new space q 2)", qubits17, "histogram " + state + " (get s) 3", "plot_file p.svg " + state});
  clearBreak();
  EXPECT_EQ(views, tx({NUL, NUL, "Error: Error: User break.\n" + NUL, "Error: Error: User break.\n" + NUL}));
  EXPECT_EQ(dir.read("p.svg"), "<missing>");  // opened only once the chart is ready
  // The row collected before the break still reaches the file, unended.
  const std::string row = dir.read("big.txt");
  EXPECT_EQ(row.rfind("1,\n1 + 0i\t0 + 0i\t", 0), 0u);
  EXPECT_LT(row.size(), 2u + 300u * 300u * 7u);
  EXPECT_NE(row.substr(row.size() - 2), ",\n");
}
