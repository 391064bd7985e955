// The programs in examples/ run with `file` and give their textbook results.
// Printed numbers carry six significant digits and Fourier matrices leave
// rounding residues (a textbook zero may print as 1e-33), so results are
// parsed and compared with a tolerance rather than as text.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "transcript.h"

namespace {

using Amplitude = std::complex<double>;
using Column = std::vector<Amplitude>;
using Grid = std::vector<Column>;  // rows of elements

const std::string kExamples = std::string(DOVEX_SOURCE_DIR) + "/examples/";
// Six significant digits: the printing, not the arithmetic, limits agreement.
constexpr double kPrinted = 5e-6;

// Everything the script printed, after the prompt, for the generator seeded with [seed].
std::string runExample(const std::string& name, unsigned seed = 1) {
  const std::string out = transcriptWithExtensions({"file " + kExamples + name}, seed);
  EXPECT_EQ(out.substr(0, P.size()), P);
  return out.substr(P.size());
}

std::vector<std::string> linesOf(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

double number(const std::string& text) {
  char* end = nullptr;
  const double x = std::strtod(text.c_str(), &end);
  EXPECT_NE(end, text.c_str()) << "not a number: '" << text << "'";
  return x;
}

// "re + imi" as the printer writes a complex number.
Amplitude complexNumber(const std::string& text) {
  const size_t plus = text.find(" + ");
  EXPECT_NE(plus, std::string::npos) << text;
  EXPECT_EQ(text.back(), 'i') << text;
  return {number(text.substr(0, plus)), number(text.substr(plus + 3, text.size() - plus - 4))};
}

// The [nth] value printed with the header "type name = ", as text.
std::string printed(const std::string& out, const std::string& header, size_t nth = 0) {
  size_t seen = 0;
  for (const std::string& line : linesOf(out)) {
    if (line.rfind(header + " = ", 0) == 0 && seen++ == nth) return line.substr(header.size() + 3);
  }
  ADD_FAILURE() << "no " << nth << ". '" << header << "' in\n" << out;
  return "";
}

int printedInteger(const std::string& out, const std::string& name, size_t nth = 0) {
  return std::atoi(printed(out, "integer " + name, nth).c_str());
}

// The [nth] vector printed by `print`: "a, b, c, ".
std::vector<double> printedVector(const std::string& out, size_t nth) {
  std::vector<double> values;
  std::string text = printed(out, "vector temp", nth);
  for (size_t at = 0; (at = text.find(", ")) != std::string::npos; text.erase(0, at + 2)) {
    values.push_back(number(text.substr(0, at)));
  }
  EXPECT_EQ(text, "") << "a list ends with its separator";
  return values;
}

// The [nth] matrix printed under the header "matrix [name] = ": one line per
// row of tab-terminated elements, an empty line after the last row.
Grid printedMatrix(const std::string& out, const std::string& name, size_t nth = 0) {
  const std::vector<std::string> lines = linesOf(out);
  size_t seen = 0;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (lines[i] != "matrix " + name + " = " || seen++ != nth) continue;
    Grid rows;
    for (size_t r = i + 1; r < lines.size() && !lines[r].empty(); ++r) {
      Column row;
      std::string text = lines[r];
      for (size_t at = 0; (at = text.find('\t')) != std::string::npos; text.erase(0, at + 1)) {
        row.push_back(complexNumber(text.substr(0, at)));
      }
      EXPECT_EQ(text, "") << "every element ends with a tab";
      rows.push_back(row);
    }
    return rows;
  }
  ADD_FAILURE() << "no matrix " << name << " in\n" << out;
  return {};
}

// A printed ket as a plain column.
Column printedKet(const std::string& out, const std::string& name, size_t nth = 0) {
  Column ket;
  for (const Column& row : printedMatrix(out, name, nth)) {
    EXPECT_EQ(row.size(), 1u);
    if (!row.empty()) ket.push_back(row[0]);
  }
  return ket;
}

void expectNear(const std::vector<double>& actual, const std::vector<double>& expected, double tolerance) {
  ASSERT_EQ(actual.size(), expected.size());
  for (size_t i = 0; i < actual.size(); ++i) EXPECT_NEAR(actual[i], expected[i], tolerance) << "entry " << i;
}

void expectNear(const Column& actual, const Column& expected, double tolerance) {
  ASSERT_EQ(actual.size(), expected.size());
  for (size_t i = 0; i < actual.size(); ++i) {
    EXPECT_NEAR(actual[i].real(), expected[i].real(), tolerance) << "entry " << i;
    EXPECT_NEAR(actual[i].imag(), expected[i].imag(), tolerance) << "entry " << i;
  }
}

const double kHalfRoot = std::sqrt(0.5);

}  // namespace

TEST(Examples, EveryScriptIsDescribedAndRunsWithoutAnError) {
  std::ifstream readme(kExamples + "README.md");
  ASSERT_TRUE(readme) << "examples/README.md";
  const std::string description((std::istreambuf_iterator<char>(readme)), std::istreambuf_iterator<char>());
  size_t scripts = 0;
  for (const auto& entry : std::filesystem::directory_iterator(kExamples)) {
    const std::string name = entry.path().filename().string();
    if (entry.path().extension() != ".txt") continue;
    ++scripts;
    EXPECT_NE(description.find("`" + name + "`"), std::string::npos) << name << " is not in examples/README.md";
    ScratchDir dir;  // the table example writes its file here
    for (unsigned seed : {1u, 2u, 3u}) {
      const std::string out = runExample(name, seed);
      EXPECT_EQ(out.find("rror"), std::string::npos) << name << ", seed " << seed << ":\n" << out;
      EXPECT_TRUE(out.ends_with(NUL)) << name << " ends with a print, which leaves no value";
    }
  }
  EXPECT_EQ(scripts, 10u);
}

TEST(Examples, BellPairHasEqualHalvesAndBothQubitsAlwaysAgree) {
  const std::string out = runExample("bell.txt");
  expectNear(printedKet(out, "psi", 0), {kHalfRoot, 0, 0, kHalfRoot}, kPrinted);
  expectNear(printedVector(out, 0), {0.5, 0.5}, kPrinted);
  expectNear(printedVector(out, 1), {0.5, 0.5}, kPrinted);
  // The state has exact zeros, so every draw is one of the two agreeing outcomes.
  std::set<int> outcomes;
  for (unsigned seed = 1; seed <= 12; ++seed) {
    const std::string run = runExample("bell.txt", seed);
    const int a = printedInteger(run, "a");
    EXPECT_EQ(printedInteger(run, "b"), a) << "seed " << seed;
    Column collapsed(4, 0.0);
    collapsed[3 * a] = 1.0;
    expectNear(printedKet(run, "psi", 1), collapsed, kPrinted);
    outcomes.insert(a);
  }
  EXPECT_EQ(outcomes, (std::set<int>{0, 1}));
}

TEST(Examples, GhzStateMeasuresAllThreeQubitsAlike) {
  const std::string out = runExample("ghz.txt");
  expectNear(printedKet(out, "psi"), {kHalfRoot, 0, 0, 0, 0, 0, 0, kHalfRoot}, kPrinted);
  for (size_t subsystem = 0; subsystem < 3; ++subsystem) {
    expectNear(printedVector(out, subsystem), {0.5, 0.5}, kPrinted);
  }
  std::set<int> outcomes;
  for (unsigned seed = 1; seed <= 12; ++seed) {
    const std::string run = runExample("ghz.txt", seed);
    const int first = printedInteger(run, "first");
    EXPECT_EQ(printedInteger(run, "second"), first) << "seed " << seed;
    EXPECT_EQ(printedInteger(run, "third"), first) << "seed " << seed;
    outcomes.insert(first);
  }
  EXPECT_EQ(outcomes, (std::set<int>{0, 1}));
}

TEST(Examples, DeutschJozsaTellsConstantFromBalancedInOneQuery) {
  const std::string out = runExample("deutsch_jozsa.txt");
  EXPECT_EQ(printed(out, "string temp", 0), "constant");
  EXPECT_EQ(printed(out, "string temp", 1), "balanced");
  expectNear(printedVector(out, 0), {1, 0, 0, 0}, kPrinted);
  expectNear(printedVector(out, 1), {0, 0, 0, 1}, kPrinted);
  // Built from an exact Hadamard, the other outcomes are exact zeros.
  for (unsigned seed = 1; seed <= 6; ++seed) {
    const std::string run = runExample("deutsch_jozsa.txt", seed);
    EXPECT_EQ(printedInteger(run, "answer", 0), 0) << "seed " << seed;
    EXPECT_EQ(printedInteger(run, "answer", 1), 3) << "seed " << seed;
  }
}

TEST(Examples, GroverOnTwoQubitsFindsTheMarkedItemWithCertainty) {
  const std::string out = runExample("grover2.txt");
  expectNear(printedKet(out, "uniform"), {0.5, 0.5, 0.5, 0.5}, kPrinted);
  expectNear(printedKet(out, "psi"), {0, 0, 1, 0}, kPrinted);
  expectNear(printedVector(out, 0), {0, 0, 1, 0}, kPrinted);
  expectNear(printedVector(out, 1), {0, 1}, kPrinted);  // item 2 is |10>: subsystem 0 holds the 1
  expectNear(printedVector(out, 2), {1, 0}, kPrinted);
  for (unsigned seed = 1; seed <= 6; ++seed) EXPECT_EQ(printedInteger(runExample("grover2.txt", seed), "found"), 2);
}

TEST(Examples, GroverOnThreeQubitsFollowsTheSineLawOverTwoRounds) {
  const std::string out = runExample("grover3.txt");
  // sin^2((2k+1)θ) with sin θ = 1/√8: 25/32 after one round, 121/128 after two.
  std::vector<double> first(8, 1.0 / 32), second(8, 1.0 / 128);
  first[5] = 25.0 / 32;
  second[5] = 121.0 / 128;
  expectNear(printedVector(out, 0), first, kPrinted);
  expectNear(printedVector(out, 1), second, kPrinted);
  EXPECT_NEAR(number(printed(out, "double p.5", 0)), 25.0 / 32, kPrinted);
  EXPECT_NEAR(number(printed(out, "double p.5", 1)), 121.0 / 128, kPrinted);
  EXPECT_EQ(printedInteger(out, "round", 1), 2);
  // No outcome is impossible here, so single draws only have to land in
  // range, and mostly on the marked item.
  int hits = 0;
  for (unsigned seed = 1; seed <= 20; ++seed) {
    const int found = printedInteger(runExample("grover3.txt", seed), "found");
    EXPECT_GE(found, 0);
    EXPECT_LE(found, 7);
    hits += found == 5;
  }
  EXPECT_GE(hits, 15);
}

TEST(Examples, GroverWatchedShowsEvenBarsBeforeAndTheMarkedItemAfter) {
  ScratchDir dir;  // the plot lands here
  const std::string out = runExample("grover_view.txt");
  const std::vector<std::string> lines = linesOf(out);
  ASSERT_GE(lines.size(), 18u);
  for (size_t k = 0; k < 8; ++k) {
    EXPECT_TRUE(lines[1 + k].ends_with(" 12.5%")) << lines[1 + k];
    EXPECT_TRUE(lines[10 + k].ends_with(k == 5 ? " 94.5312%" : " 0.78125%")) << lines[10 + k];
  }
  EXPECT_TRUE(lines[15].starts_with("|101⟩ █████")) << lines[15];
  EXPECT_GE(printedVector(out, 0)[5], 80) << "of 100 shots";
  EXPECT_EQ(dir.read("grover.svg").rfind("<?xml", 0), 0u);
}

TEST(Examples, FourierTransformOfABasisStateSpreadsItEvenlyAndComesBack) {
  const std::string out = runExample("fourier.txt");
  EXPECT_EQ(printedInteger(out, "temp"), 1) << "is_unitary";
  Column expected;
  for (int k = 0; k < 8; ++k) expected.push_back(std::polar(1 / std::sqrt(8.0), 2 * std::numbers::pi * 5 * k / 8));
  expectNear(printedKet(out, "psi"), expected, kPrinted);
  expectNear(printedVector(out, 0), std::vector<double>(8, 0.125), kPrinted);
  Column basis(8, 0.0);
  basis[5] = 1.0;
  expectNear(printedKet(out, "back"), basis, kPrinted);
  // The zeros come back as residues of the Fourier fill, printed as such.
  std::vector<double> back(8, 0.0);
  back[5] = 1.0;
  expectNear(printedVector(out, 1), back, kPrinted);
}

TEST(Examples, TeleportationDeliversTheStateToBobForEveryOutcome) {
  const Column phi = {0.6, Amplitude(0, 0.8)};
  std::set<std::pair<int, int>> outcomes;
  for (unsigned seed = 1; seed <= 12; ++seed) {
    const std::string out = runExample("teleport.txt", seed);
    expectNear(printedKet(out, "phi"), phi, kPrinted);
    expectNear(printedKet(out, "bob"), phi, kPrinted);
    expectNear(printedVector(out, 0), {0.36, 0.64}, kPrinted);
    outcomes.insert({printedInteger(out, "m1"), printedInteger(out, "m2")});
  }
  EXPECT_EQ(outcomes.size(), 4u) << "every correction was exercised";
}

TEST(Examples, RotationTableIsWrittenRowByRowWithPrintFile) {
  ScratchDir dir;
  dir.write("rotation.csv", "stale\n");
  const std::string out = runExample("rotation_table.txt");
  EXPECT_EQ(printedInteger(out, "k"), 9);
  std::istringstream table(dir.read("rotation.csv"));
  std::string line;
  std::getline(table, line);
  EXPECT_EQ(line, "k,theta,p0,p1,");
  int k = 0;
  for (; std::getline(table, line); ++k) {
    std::vector<std::string> cells;
    for (size_t at; (at = line.find(',')) != std::string::npos; line.erase(0, at + 1)) {
      cells.push_back(line.substr(0, at));
    }
    ASSERT_EQ(cells.size(), 4u);
    EXPECT_EQ(line, "") << "every value ends with a comma";
    const double theta = k * std::numbers::pi / 16;
    EXPECT_EQ(std::atoi(cells[0].c_str()), k);
    EXPECT_NEAR(number(cells[1]), theta, kPrinted);
    EXPECT_NEAR(number(cells[2]), std::cos(theta) * std::cos(theta), kPrinted);
    EXPECT_NEAR(number(cells[3]), std::sin(theta) * std::sin(theta), kPrinted);
    expectNear(printedVector(out, k), {number(cells[2]), number(cells[3])}, 0);
  }
  EXPECT_EQ(k, 9);
}

TEST(Examples, RandomUnitaryIsUnitaryAndDiffersFromSeedToSeed) {
  const std::vector<std::string> reads = {"P.0", "A.0", "X.0", "P.1", "A.1", "P.2", "A.2", "X.0",
                                          "P.3", "A.3", "P.4", "A.4", "P.5", "A.5", "X.0"};
  std::set<std::string> seen;
  for (unsigned seed = 1; seed <= 4; ++seed) {
    const std::string out = runExample("u_random.txt", seed);
    const std::vector<std::string> lines = linesOf(out);
    ASSERT_GE(lines.size(), reads.size());
    EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + reads.size()), reads);
    const Grid u = printedMatrix(out, "U");
    ASSERT_EQ(u.size(), 4u);
    for (size_t r = 0; r < 4; ++r) {
      for (size_t c = 0; c < 4; ++c) {
        Amplitude dot = 0;
        for (size_t k = 0; k < 4; ++k) dot += u[r][k] * std::conj(u[c][k]);
        EXPECT_NEAR(std::abs(dot - Amplitude(r == c ? 1 : 0)), 0, 1e-5) << "seed " << seed;
      }
    }
    EXPECT_EQ(printedInteger(out, "temp"), 1) << "is_unitary";
    Column firstColumn;
    for (const Column& row : u) firstColumn.push_back(row[0]);
    expectNear(printedKet(out, "psi"), firstColumn, 0);
    double total = 0;
    for (double p : printedVector(out, 0)) total += p;
    EXPECT_NEAR(total, 1, 1e-5);
    std::ostringstream firstRow;
    for (const Amplitude& a : u[0]) firstRow << a;
    seen.insert(firstRow.str());
  }
  EXPECT_EQ(seen.size(), 4u) << "each seed draws other angles";
}
