// The console dialogue: exit forms, shell commands, the echo, line limits,
// the history file.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "shell/history_file.h"
#include "transcript.h"

TEST(Shell, ExitOnlyWhenTheLineIsExactlyExit) {
  EXPECT_EQ(transcript({"exit ", " exit", "", "   ", "exit", "5"}),
            tx({"string temp = exit\n\n", "string temp = exit\n\n", "string temp = \n\n", "string temp = \n\n"}));
  EXPECT_EQ(transcript({"5", "!exit", "6"}), tx({"integer temp = 5\n\n"}));
}

TEST(Shell, BangCommandsUseOnlyTheirFirstWord) {
  EXPECT_EQ(transcript({"!state", "global (new integer x)", "!state foo bar", "!", "!foo", "!clear", "!state"}),
            tx({"State List:\n\n\n", NUL, "State List:\n<integer, x>\n\n\n", "\n\n", "\n\n", "\n\n",
                "State List:\n\n\n"}));
}

TEST(Shell, LineStartingWithBangEqualsIsACommand) {
  EXPECT_EQ(transcript({"!= 1 2"}), tx({"\n\n"}));
}

TEST(Shell, ThrownMessageIsReportedAndSessionGoesOn) {
  EXPECT_EQ(transcript({"new string s", "5"}),
            tx({"Syntax error 'new string s'; illegal type (or cannot be used as array)\nError: Error.\n" + NUL,
                "integer temp = 5\n\n"}));
}

TEST(Shell, OverlongLineIsRefusedWholeAndTheSessionContinues) {
  const std::string longLine(2046, '1');
  const std::string longest = "begin " + std::string(2039, '7');
  EXPECT_EQ(transcript({longLine, "5", longest}),
            tx({"Error: line too long\n\n", "integer temp = 5\n\n", "integer temp = " + std::to_string(-1) + "\n\n"}));
}

TEST(Shell, NulByteEndsTheLine) {
  EXPECT_EQ(transcript({std::string("42\0junk", 7), std::string("exit\0x", 6), "7"}), tx({"integer temp = 42\n\n"}));
}

TEST(Shell, NestingBeyondTheLimitIsAThrownMessage) {
  std::string deep;
  for (int i = 0; i < 1000; ++i) deep += "begin (";
  deep += "5";
  EXPECT_EQ(transcript({deep.substr(0, 2045)}).substr(0, P.size()), P);
  // Unbalanced brackets in a script nest one level per "(": refused, never a crash.
  std::string script = "begin ";
  for (int i = 0; i < 7000; ++i) script += "(begin ";
  ScratchDir dir;
  dir.write("deep.txt", script);
  const std::string out = transcript({"file deep.txt", "5"});
  EXPECT_NE(out.find("Error: nesting too deep\n"), std::string::npos) << out;
  EXPECT_NE(out.find("integer temp = 5\n\n"), std::string::npos);
}

TEST(Shell, BinaryPrintsBannerAndEndsAtEndOfInput) {
  FILE* pipe = popen("printf '1\\n' | " DOVEX_BINARY, "r");
  ASSERT_NE(pipe, nullptr);
  std::string out;
  char buffer[256];
  while (size_t n = fread(buffer, 1, sizeof buffer, pipe)) out.append(buffer, n);
  const int status = pclose(pipe);
  EXPECT_EQ(status, 0);
  ASSERT_EQ(out.rfind("Brivane (Dovex) v.0.81.4.13\n", 0), 0u) << out;
  const size_t notice = out.find('\n') + 1;
  const size_t afterNotice = out.find('\n', notice) + 1;
  EXPECT_GT(afterNotice - notice, 1u);
  EXPECT_EQ(out.substr(afterNotice), "\n" + P + "integer temp = 1\n\n" + P);
}

TEST(HistoryFile, KeepsTheLastLinesAndNeverWritesThroughALink) {
  ScratchDir dir;
  std::string lines;
  for (int i = 1; i <= 1500; ++i) lines += std::to_string(i) + "\n";
  dir.write("history", lines);
  HistoryFile history(dir.path() + "/history");
  const std::vector<std::string> kept = history.load();
  ASSERT_EQ(kept.size(), 1000u);
  EXPECT_EQ(kept.front(), "501");
  EXPECT_EQ(kept.back(), "1500");
  history.append("add 1 2");
  EXPECT_EQ(dir.read("history"), lines.substr(lines.find("\n501\n") + 1) + "add 1 2\n");

  dir.write("other", lines);
  std::filesystem::create_symlink(dir.path() + "/other", dir.path() + "/linked");
  HistoryFile linked(dir.path() + "/linked");
  EXPECT_TRUE(linked.load().empty());
  linked.append("add 1 2");
  EXPECT_EQ(dir.read("other"), lines);
  EXPECT_TRUE(std::filesystem::is_symlink(dir.path() + "/linked"));

  HistoryFile fresh(dir.path() + "/new");
  EXPECT_TRUE(fresh.load().empty());
  fresh.append("x");
  EXPECT_EQ(dir.read("new"), "x\n");
}
