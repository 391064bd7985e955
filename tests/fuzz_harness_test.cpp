// The fuzz harness runs every input in an empty directory of its own, so an
// input behaves the same alone or anywhere in a run.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "fuzz_support.h"

namespace {

// Runs p, then leaves it behind: a later input that found it would run it
// instead of reporting that it cannot open it.
const std::string kLeavesAFile = "file p\nprint_file p 1";

template <typename Run>
std::string outputOf(Run run, const std::string& input) {
  std::ostringstream out;
  run(input, &out);
  return out.str();
}

}  // namespace

TEST(FuzzHarness, TheSameInputBehavesTheSameEveryTimeAndLeavesNothingBehind) {
  const auto before = std::filesystem::current_path();
  const std::string cannotOpen = "Cannot open file 'p'\nNULL\n\n";
  EXPECT_EQ(outputOf(runFuzzLines, kLeavesAFile), cannotOpen + "NULL\n\n");
  EXPECT_EQ(outputOf(runFuzzLines, kLeavesAFile), cannotOpen + "NULL\n\n");
  const std::string script = "begin (file p) (print_file p 1)";
  EXPECT_EQ(outputOf(runFuzzScript, script), cannotOpen);
  EXPECT_EQ(outputOf(runFuzzScript, script), cannotOpen);
  EXPECT_EQ(std::filesystem::current_path(), before);
  EXPECT_FALSE(std::filesystem::exists(before / "p"));
}

TEST(FuzzHarness, CommandLinesRunAsTheProgramRunsThemWithTheExtensionCommands) {
  using namespace std::string_literals;
  const std::string bell = "(matrix 2 1 (complex 1 0) (complex 0 0))";
  EXPECT_EQ(outputOf(runFuzzCommandLine, "-e\0show_state "s + bell + "\n"), "1 |0⟩  p = 1\nNULL\n\n");
  // The rest of the input is standard input and script.dvx.
  const std::string fromFile = outputOf(runFuzzCommandLine, "--seed\0" "7\0script.dvx\nprint_one_line (rand 100)"s);
  EXPECT_NE(fromFile, "");
  EXPECT_EQ(fromFile, outputOf(runFuzzCommandLine, "--seed=7\0-\nprint_one_line (rand 100)"s));
  EXPECT_EQ(outputOf(runFuzzCommandLine, "-q\nuser.input integer\n42\n"s),
            "Dovex > Please enter an integer: \ninteger temp = 42\n\nDovex > ");
  EXPECT_EQ(outputOf(runFuzzCommandLine, "--bogus\n"s), "dovex: unknown option '--bogus'\n");
  EXPECT_EQ(outputOf(runFuzzCommandLine, "../outside.dvx\n"s), "dovex: cannot open '../outside.dvx'\n");
}
