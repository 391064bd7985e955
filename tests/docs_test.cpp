// docs/language.md keeps up with the language: every keyword of the dispatch
// table has its heading there, the command line and `!help` are described,
// and every session shown in a ```dovex block prints exactly what the
// interpreter prints.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "builtins/language.h"
#include "extensions/extension.h"
#include "transcript.h"

namespace {

const std::string kSourceDir = DOVEX_SOURCE_DIR;

std::vector<std::string> referenceLines() {
  std::ifstream file(kSourceDir + "/docs/language.md");
  EXPECT_TRUE(file) << "docs/language.md is missing";
  std::vector<std::string> lines;
  for (std::string line; std::getline(file, line);) lines.push_back(line);
  return lines;
}

// The words in `backticks` of [line].
std::vector<std::string> codeSpans(const std::string& line) {
  std::vector<std::string> spans;
  static const std::regex span("`([^`]+)`");
  for (std::sregex_iterator it(line.begin(), line.end(), span), end; it != end; ++it) spans.push_back((*it)[1]);
  return spans;
}

// One session shown in the reference: the lines typed, and the text the
// interpreter prints for them (each typed line stands after its prompt, as a
// terminal would show it; the interpreter itself prints only the prompt).
struct Session {
  size_t line;  // where the block starts, for messages
  std::vector<std::string> typed;
  std::string printed;
};

std::vector<Session> sessions(const std::vector<std::string>& lines) {
  std::vector<Session> found;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (lines[i] != "```dovex") continue;
    Session s{i + 1, {}, ""};
    for (++i; i < lines.size() && lines[i] != "```"; ++i) {
      if (lines[i].rfind(P, 0) == 0) {
        s.typed.push_back(lines[i].substr(P.size()));
        s.printed += P;
      } else {
        s.printed += lines[i] + "\n";
      }
    }
    found.push_back(s);
  }
  return found;
}

// Every spelling of the keyword rows: the language's, then the extension
// commands registered at start-up.
std::vector<std::string> rowSpellings() {
  std::vector<std::string> words = languageKeywords().spellings();
  for (const KeywordRow& row : extensionCommands()) words.push_back(row.name);
  return words;
}

}  // namespace

TEST(LanguageReference, KeywordRowsAndHeadingsMatchBothWays) {
  // Every spelling of every row has a heading, and every keyword heading
  // names a row: a keyword is added with one row and one heading.
  std::set<std::string> headed;
  std::string text;
  for (const std::string& line : referenceLines()) {
    text += line + "\n";
    if (line.rfind("#", 0) != 0) continue;
    for (const std::string& word : codeSpans(line)) headed.insert(word);
    if (line.rfind("#### ", 0) != 0) continue;
    for (const std::string& word : codeSpans(line)) {
      const std::vector<std::string> words = rowSpellings();
      EXPECT_NE(std::find(words.begin(), words.end(), word), words.end()) << line << " names no keyword row";
    }
  }
  for (const std::string& word : rowSpellings()) {
    EXPECT_TRUE(headed.count(word)) << "`" << word << "` has no heading in docs/language.md";
  }
  const size_t count = languageKeywords().spellings().size();
  EXPECT_EQ(count, 77u);
  EXPECT_NE(text.find("the " + std::to_string(count) + " keywords"), std::string::npos);
}

TEST(LanguageReference, EverySessionShownPrintsWhatTheInterpreterPrints) {
  const std::vector<Session> shown = sessions(referenceLines());
  EXPECT_GT(shown.size(), 70u);
  for (const Session& s : shown) {
    // Each session starts afresh, as the interpreter starts, in an empty
    // directory that sees the examples and the gate library.
    ScratchDir dir;
    std::filesystem::create_directory_symlink(kSourceDir + "/examples", dir.path() + "/examples");
    std::filesystem::create_directory_symlink(kSourceDir + "/lib", dir.path() + "/lib");
    EXPECT_EQ(transcriptWithExtensions(s.typed), s.printed) << "docs/language.md, block at line " << s.line;
  }
}

TEST(LanguageReference, TheCommandLineAndBangHelpAreDocumented) {
  std::string text;
  for (const std::string& line : referenceLines()) text += line + "\n";
  EXPECT_NE(text.find("### The command line"), std::string::npos);
  for (const char* documented : {"`!help`", "`!help` *word*", "`dovex FILE`", "`dovex -`", "`dovex -e LINE`",
                                 "`-c LINE`", "`-l NAME`", "`--seed N`", "`-q`", "`--version`", "`--help`"}) {
    EXPECT_NE(text.find(documented), std::string::npos) << documented << " is not in docs/language.md";
  }
}

TEST(LanguageReference, ReadmeTourShowsWhatTheBellExamplePrints) {
  std::ifstream readme(kSourceDir + "/README.md");
  std::string shown;
  bool inTour = false;
  for (std::string line; std::getline(readme, line);) {
    if (line == "    $ build/dovex examples/bell.txt") {
      inTour = true;
    } else if (inTour) {
      if (!line.empty() && line.rfind("    ", 0) != 0) break;
      shown += (line.empty() ? line : line.substr(4)) + "\n";
    }
  }
  ASSERT_TRUE(inTour) << "the tour runs examples/bell.txt from the command line";
  // The run shown is the one seeded with 1, as the tour says.
  const std::string command = "cd " + kSourceDir + " && " + DOVEX_BINARY + " --seed 1 examples/bell.txt";
  FILE* pipe = popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::string printed;
  char buffer[4096];
  while (const size_t n = fread(buffer, 1, sizeof buffer, pipe)) printed.append(buffer, n);
  EXPECT_EQ(pclose(pipe), 0);
  while (!shown.empty() && shown.back() == '\n') shown.pop_back();
  while (!printed.empty() && printed.back() == '\n') printed.pop_back();
  EXPECT_EQ(printed, shown);
}
