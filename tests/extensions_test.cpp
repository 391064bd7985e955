// The extension commands as a user meets them: show_state, histogram,
// sample and plot_file on Bell, GHZ and qutrit-qubit states, their refusals,
// and the gate library in lib/.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <set>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "extensions/svg_chart.h"
#include "transcript.h"

namespace {

const std::string kSource = DOVEX_SOURCE_DIR;

// Globals: qubit and qutrit spaces, the systems pair, ghz (three qubits),
// qt (qutrit then qubit) and wide (qubit then a 12-level space), and the
// states bell, ghz3 and mixed (amplitudes 0.5, 0.5i, -0.5, 0.5 at |00⟩,
// |01⟩, |11⟩, |21⟩ of qt).
const std::string kStates =
    "global (begin (new space q 2) (new space t 3) (new space w 12) (new system pair 2 q q) "
    "(new system ghz 3 q q q) (new system qt 2 t q) (new system wide 2 q w) "
    "(new matrix bell 4 1) (new matrix ghz3 8 1) (new matrix mixed 6 1) (new integer n))";
const std::string kFill =
    "global (begin (set bell (set_element (set_element (matrix 4 1 zero) 0 0 (sqrt 0.5)) 3 0 (sqrt 0.5))) "
    "(set ghz3 (set_element (set_element (matrix 8 1 zero) 0 0 (sqrt 0.5)) 7 0 (sqrt 0.5))) "
    "(set mixed (matrix 6 1 (complex 0.5 0) (complex 0 0.5) (complex 0 0) (complex -0.5 0) (complex 0 0) "
    "(complex 0.5 0))))";

std::string session(const std::vector<std::string>& lines, unsigned seed = 1) {
  std::vector<std::string> all = {kStates, kFill};
  all.insert(all.end(), lines.begin(), lines.end());
  const std::string out = transcriptWithExtensions(all, seed);
  return out.substr(tx({NUL, NUL}).size());
}

// The counts of a `sample` echo: "vector temp = 3, 0, 5, ".
std::vector<double> countsOf(const std::string& out) {
  const size_t at = out.rfind("vector temp = ");
  EXPECT_NE(at, std::string::npos) << out;
  std::vector<double> counts;
  std::istringstream in(out.substr(at + 14));
  for (std::string cell; std::getline(in, cell, ',') && cell.find('\n') == std::string::npos;) {
    counts.push_back(std::atof(cell.c_str()));
  }
  return counts;
}

}  // namespace

TEST(ShowState, TermsWithAmplitudeProbabilityAndKetInEitherNumbering) {
  EXPECT_EQ(session({"show_state (get bell) (get pair)", "show_state (get ghz3)", "show_state (get mixed) (get qt)",
                     "show_state (get mixed)", "get n"}),
            tx({"0.707107 |00⟩  p = 0.5\n0.707107 |11⟩  p = 0.5\n" + NUL,
                "0.707107 |000⟩  p = 0.5\n0.707107 |111⟩  p = 0.5\n" + NUL,
                " 0.5 |00⟩  p = 0.25\n0.5i |01⟩  p = 0.25\n-0.5 |11⟩  p = 0.25\n 0.5 |21⟩  p = 0.25\n" + NUL,
                " 0.5 |0⟩  p = 0.25\n0.5i |1⟩  p = 0.25\n-0.5 |3⟩  p = 0.25\n 0.5 |5⟩  p = 0.25\n" + NUL,
                "integer n = 0\n\n"}));
  // A dimension above 10 separates the digits; a complex amplitude keeps
  // its sign; a NaN is always shown, an all-zero state says so.
  EXPECT_EQ(session({"show_state (set_element (matrix 24 1 zero) 23 0 (complex 1 -1)) (get wide)",
                     "show_state (set_element (matrix 2 1 zero) 1 0 (sqrt -1.0))", "show_state (matrix 3 1 zero)"}),
            tx({"(1 - 1i) |1,11⟩  p = 2\n(the state is not normalised: its squared norm is 2)\n" + NUL,
                "-nan |1⟩  p = -nan\n(the state is not normalised: its squared norm is -nan)\n" + NUL,
                "(every amplitude is 0)\n" + NUL}));
}

TEST(ShowState, OfMoreThan64TermsTheMostProbableAreShownAndTheRestCounted) {
  // 100 equal terms but 90 and 95 doubled: those two and the lowest 62.
  const std::string out = session({"show_state (set_element (set_element (matrix 100 1 UFT) 90 0 0.2) 95 0 0.2)"});
  EXPECT_TRUE(out.starts_with(P + "0.1 |0⟩   p = 0.01\n0.1 |1⟩ ")) << out;
  EXPECT_NE(out.find("0.1 |61⟩  p = 0.01\n0.2 |90⟩  p = 0.04\n0.2 |95⟩  p = 0.04\n"
                     "(36 more terms not shown, p = 0.36 together)\n"),
            std::string::npos)
      << out;
}

TEST(Histogram, BarsOfFixedWidthForTheRegisterOrOneSubsystem) {
  const std::string half = "████████████████████                    ";
  const std::string quarter = "██████████                              ";
  EXPECT_EQ(
      session({"histogram (get bell) (get pair)", "histogram (get ghz3) (get ghz) 2",
               "histogram (get mixed) (get qt) 0", "histogram (get mixed) (get qt) 1"}),
      tx({"|00⟩ " + half + " 50%\n|11⟩ " + half + " 50%\n" + NUL, "|0⟩ " + half + " 50%\n|1⟩ " + half + " 50%\n" + NUL,
          "|0⟩ " + half + " 50%\n|1⟩ " + quarter + " 25%\n|2⟩ " + quarter + " 25%\n" + NUL,
          "|0⟩ " + quarter + " 25%\n|1⟩ ██████████████████████████████           75%\n" + NUL}));
}

TEST(Histogram, ProbabilitiesThatPrintAlikeDrawAlike) {
  // After two Grover rounds seven kets hold 1/128 each, computed along
  // different paths: rounding residues must not change their bars.
  ScratchDir dir;
  const std::string out = transcriptWithExtensions({"file " + kSource + "/examples/grover_view.txt"});
  std::set<std::string> bars;
  std::istringstream lines(out);
  for (std::string line; std::getline(lines, line);) {
    if (line.ends_with(" 0.78125%")) bars.insert(line.substr(line.find(' ')));
  }
  EXPECT_EQ(bars.size(), 1u) << out;
}

TEST(StateViews, AStateNotNormalisedIsSaidToBeSoInOneLine) {
  const std::string twice = "(matrix 2 1 (complex 1 0) (complex 1 0))";
  const std::string full = "████████████████████████████████████████";
  const std::string note = "(the state is not normalised: its squared norm is 2)\n";
  const std::string out = session({"histogram " + twice, "sample (matrix 1 1 (complex 1.5 0)) 4",
                                   "show_state (matrix 2 1 (complex 1 0) (complex 0.00001 0))",
                                   "show_state (matrix 2 1 (complex 1 0) (complex 0.001 0))"});
  EXPECT_EQ(out.substr(0, out.find("vector temp")),
            tx({"|0⟩ " + full + " 100%\n|1⟩ " + full + " 100%\n" + note + NUL}) + P +
                "|0⟩ 4\n(the state is not normalised: its squared norm is 2.25)\n");
  // Within 1e-9 of 1 is normalised; beyond it, a drift that prints as 1 is named.
  EXPECT_TRUE(out.ends_with(tx({"    1 |0⟩  p = 1\n1e-05 |1⟩  p = 1e-10\n" + NUL,
                                "    1 |0⟩  p = 1\n0.001 |1⟩  p = 1e-06\n(the state is not normalised: its squared "
                                "norm differs from 1 by 1e-06)\n" + NUL})))
      << out;
  ScratchDir dir;
  session({"plot_file twice.svg " + twice});
  EXPECT_NE(dir.read("twice.svg").find(">the state is not normalised: its squared norm is 2</text>"), std::string::npos);
}

TEST(Sample, CountsFollowTheDistributionRepeatForASeedAndLeaveTheStateAlone) {
  // Subsystem 0 of mixed: 0.5, 0.25, 0.25. Chi-square with 2 degrees of
  // freedom stays below 13.8 with probability 0.999.
  const std::string line = "sample (get mixed) 20000 (get qt) 0";
  const std::vector<double> counts = countsOf(session({line}, 7));
  ASSERT_EQ(counts.size(), 3u);
  double chiSquare = 0;
  for (size_t o = 0; o < 3; ++o) chiSquare += std::pow(counts[o] - 5000.0 * (o ? 1 : 2), 2) / (5000.0 * (o ? 1 : 2));
  EXPECT_LT(chiSquare, 13.8);
  EXPECT_EQ(countsOf(session({line}, 7)), counts);
  EXPECT_NE(countsOf(session({line}, 8)), counts);
  // Outcomes of probability 0 never come up, only those that did are
  // printed, and the state is not collapsed.
  const std::string out = session({"sample (get ghz3) 1000", "show_state (get ghz3)"}, 3);
  const std::vector<double> ghz = countsOf(out);
  ASSERT_EQ(ghz.size(), 8u);
  EXPECT_EQ(ghz[0] + ghz[7], 1000);
  EXPECT_EQ(out.substr(0, out.find("vector")),
            P + "|000⟩ " + std::to_string(int(ghz[0])) + "\n|111⟩ " + std::to_string(int(ghz[7])) + "\n");
  EXPECT_NE(out.find("0.707107 |111⟩  p = 0.5\n"), std::string::npos);
}

TEST(ExtensionCommands, BadArgumentsGiveTheBuiltInsMessagesAndTheSessionGoesOn) {
  EXPECT_EQ(session({"show_state (matrix 2 2 ident)", "histogram (get bell) (get qt)",
                     "histogram (get bell) (get pair) 2", "sample (get bell) -1", "sample (get bell) 5 (get pair) -1",
                     "plot_file x.svg (matrix 1 2 zero)", "sample (matrix 2 1 zero) 5", "histogram 5",
                     "sample (get bell) 2.5", "plot_file 7 (get bell)", "histogram (get bell) 4", "get n"}),
            tx({"Syntax error 'show_state (matrix 2 2 ident)'; state is not a column\n" + NUL,
                "Syntax error 'histogram (get bell) (get qt)'; system size differs from the state's length\n" + NUL,
                "Syntax error 'histogram (get bell) (get pair) 2'; subsystem index out of range\n" + NUL,
                "Syntax error 'sample (get bell) -1'; shot count < 0\n" + NUL,
                "Syntax error 'sample (get bell) 5 (get pair) -1'; subsystem index out of range\n" + NUL,
                "Syntax error 'plot_file x.svg (matrix 1 2 zero)'; state is not a column\n" + NUL,
                "Syntax error 'sample (matrix 2 1 zero) 5'; probabilities do not add up to a positive number\n" + NUL,
                "Error: getMatrix error - type is NULL or not matrix\n" + NUL,
                "Error: getInteger error - type is NULL or not int\n" + NUL,
                "Error: getString error - type is NULL or not string\n" + NUL,
                "Error: getInteger error - type is NULL or not System\n" + NUL, "integer n = 0\n\n"}));
  // Each command answers `help` with its own text.
  for (const char* name : {"show_state", "histogram", "sample", "plot_file"}) {
    EXPECT_EQ(transcriptWithExtensions({std::string("help ") + name}).substr(P.size(), std::string(name).size() + 1),
              std::string(name) + " ");
  }
}

TEST(PlotFile, FollowsTheFileRulesOfNewFile) {
  ScratchDir dir;
  dir.write("old.svg", "previous content that is longer than nothing");
  const std::string out = session({"plot_file old.svg (get bell) (get pair)", "plot_file no/such/dir/x.svg (get bell)",
                                   "plot_file kept.svg (get bell) (get qt)"});
  EXPECT_EQ(out, tx({NUL, "Cannot open file 'no/such/dir/x.svg'\n" + NUL,
                     "Syntax error 'plot_file kept.svg (get bell) (get qt)'; system size differs from the state's "
                     "length\n" +
                         NUL}));
  const std::string svg = dir.read("old.svg");
  EXPECT_EQ(svg.rfind("<?xml", 0), 0u);
  EXPECT_NE(svg.find("Probabilities of the basis states of 2 ⊗ 2"), std::string::npos);
  EXPECT_EQ(dir.read("kept.svg"), "<missing>") << "a refused state opens no file";
}

// The tick labels of a chart, in order: "0%,10%,...".
std::string tickLabels(const std::string& svg) {
  std::string labels;
  for (size_t at = 0; (at = svg.find("class=\"tick\"", at)) != std::string::npos; ++at) {
    const size_t start = svg.find('>', at) + 1;
    labels += svg.substr(start, svg.find('<', start) - start) + ",";
  }
  return labels;
}

TEST(PlotFile, TheAxisFitsTheLargestBarWithRoundTicksUnlessFullIsAsked) {
  for (const auto& [largest, top, step] : {std::tuple{50.0, 50.0, 10.0}, {94.5312, 100.0, 20.0}, {12.5, 15.0, 5.0},
                                           {0.78125, 0.8, 0.2}, {100.0, 100.0, 20.0}, {400.0, 400.0, 100.0},
                                           {50.00000000000001, 50.0, 10.0}, {0.0, 100.0, 25.0}}) {
    EXPECT_DOUBLE_EQ(fittedTicks(largest).top, top) << largest;
    EXPECT_DOUBLE_EQ(fittedTicks(largest).step, step) << largest;
  }
  ScratchDir dir;
  EXPECT_EQ(session({"plot_file fitted.svg (get bell) (get pair)", "plot_file full.svg (get bell) (get pair) 1 full",
                     "plot_file three.svg (matrix 3 1 (complex 0.6 0) (complex 0.8 0) (complex 0 0)) full",
                     "plot_file x.svg (get bell) pair", "plot_file x.svg (get bell) (get pair) 1 (add 1 1)"}),
            tx({NUL, NUL, NUL,
                "Syntax error 'plot_file x.svg (get bell) pair'; unknown last argument 'pair' (full asks for the "
                "0-100% axis)\n" + NUL,
                "Syntax error 'plot_file x.svg (get bell) (get pair) 1 (add 1 1)'; unknown last argument 'add 1 1' "
                "(full asks for the 0-100% axis)\n" + NUL}));
  EXPECT_EQ(tickLabels(dir.read("fitted.svg")), "0%,10%,20%,30%,40%,50%,");
  EXPECT_EQ(tickLabels(dir.read("full.svg")), "0%,25%,50%,75%,100%,");
  EXPECT_NE(dir.read("full.svg").find(">Outcome probabilities of subsystem 1 of 2 ⊗ 2</text>"), std::string::npos);
  EXPECT_NE(dir.read("three.svg").find(">Probabilities of 3 basis states</text>"), std::string::npos);
  EXPECT_EQ(dir.read("x.svg"), "<missing>");
}

TEST(GateLibrary, EveryGateIsUnitaryWithExactEntries) {
  std::vector<std::string> lines = {"file " + kSource + "/lib/gates.txt"};
  std::vector<std::string> echoes = {NUL};
  for (const char* g : {"H", "X", "Y", "Z", "S", "Sdg", "T", "Tdg", "SWAP", "CZ", "CNOT", "Toffoli"}) {
    lines.push_back(std::string("is_unitary (get ") + g + ")");
    echoes.push_back("integer temp = 1\n\n");
  }
  // H(1,1) = -√½; T·T = S; Y·X = -iZ; CNOT maps |10⟩ to |11⟩ (control on the
  // left); Toffoli maps |110⟩ to |111⟩.
  for (const char* entry :
       {"get H) 1 1", "mult (get T) (get T)) 1 1", "mult (get Y) (get X)) 0 0", "get CNOT) 3 2", "get Toffoli) 7 6"}) {
    lines.push_back(std::string("get_element (") + entry);
  }
  for (const char* value : {"-0.707107 + 0i", "0 + 1i", "0 + -1i", "1 + 0i", "1 + 0i"}) {
    echoes.push_back(std::string("complex temp = ") + value + "\n\n");
  }
  EXPECT_EQ(transcript(lines), tx(echoes));
}
