// What the notebook kernel builds on: the bracket count that makes a line go
// on with the next one (as the tokenizer counts brackets), and the writer
// that replaces a file whole.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "runtime/file_access.h"
#include "interp/line_continuation.h"
#include "transcript.h"

TEST(LineContinuation, BracketsCountAsTheTokenizerCountsThem) {
  struct Case {
    const char* text;
    size_t open;
    size_t firstUnclosed;
  };
  const size_t none = std::string::npos;
  for (const Case& c : {Case{"add 1 2", 0, none}, Case{"print (add 40", 1, 6}, Case{"begin (a (b (c", 3, 6},
                        Case{"(a) (b (c) d", 1, 4}, Case{") ) (x", 1, 4},             // a stray ")" is a letter
                        Case{"print \"(\" x", 0, none}, Case{"\"unclosed ( quote", 0, none},  // quotes hide
                        Case{"(print \"(\" x", 2, 0},  // inside brackets quotes hide nothing
                        Case{"(nop (a) (b))", 0, none}}) {
    const BracketBalance balance = bracketBalance(c.text);
    EXPECT_EQ(balance.open, c.open) << c.text;
    EXPECT_EQ(balance.firstUnclosed, c.firstUnclosed) << c.text;
  }
  std::string joined = "print (add 40";
  appendContinuationLine(joined, " \t  2)");
  EXPECT_EQ(joined, "print (add 40 2)");
  EXPECT_FALSE(continuesOnNextLine(joined));
}

TEST(ReplaceFileWhole, NewContentOrOldContentNeverAPartAndNoTemporaryLeft) {
  ScratchDir dir;
  const auto writeText = [](const std::string& text) {
    return [text](int fd) { return writeAll(fd, text.data(), text.size()); };
  };
  const auto entries = [&] {
    size_t n = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir.path())) ++n;
    return n;
  };
  dir.write("plot.svg", "old");
  EXPECT_EQ(replaceFileWhole("plot.svg", [](int fd) { return writeAll(fd, "par", 3) && false; }),
            FileReplaced::CannotWrite);
  EXPECT_EQ(dir.read("plot.svg"), "old");
  EXPECT_EQ(replaceFileWhole("plot.svg", writeText("new")), FileReplaced::Done);
  EXPECT_EQ(dir.read("plot.svg"), "new");

  // Through a link the file it points to is replaced; the link stays.
  std::filesystem::create_symlink("plot.svg", dir.path() + "/link.svg");
  EXPECT_EQ(replaceFileWhole("link.svg", writeText("linked")), FileReplaced::Done);
  EXPECT_TRUE(std::filesystem::is_symlink(dir.path() + "/link.svg"));
  EXPECT_EQ(dir.read("plot.svg"), "linked");
  EXPECT_EQ(entries(), 2u);

  // A device is written in place; folders and missing folders are refused.
  EXPECT_EQ(replaceFileWhole("/dev/null", writeText("x")), FileReplaced::Done);
  std::filesystem::create_directory(dir.path() + "/sub");
  EXPECT_EQ(replaceFileWhole("sub", writeText("x")), FileReplaced::CannotOpen);
  EXPECT_EQ(replaceFileWhole("no/such/file", writeText("x")), FileReplaced::CannotOpen);
  EXPECT_EQ(entries(), 3u);
}
