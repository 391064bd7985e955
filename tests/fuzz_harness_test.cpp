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
