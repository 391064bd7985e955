// Script files run with `file`, `help` over the extension registry, `!help`
// over the keyword synopses, and the record of reported diagnostics.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <sstream>

#include "builtins/language.h"
#include "interp/call.h"
#include "interp/keyword_table.h"
#include "runtime/file_access.h"
#include "interp/interpreter.h"
#include "shell/shell.h"
#include "transcript.h"
#include "runtime/console.h"
#include "runtime/diagnostics.h"

namespace {

// Runs [lines] through handleLine on [interp] (no prompts, no banner) and
// returns everything printed.
std::string runLines(Interpreter& interp, const std::vector<std::string>& lines) {
  std::ostringstream out;
  std::ostream* previous = setConsole(&out);
  Object result;
  for (const std::string& line : lines) {
    result.dropPayload();
    handleLine(interp, line, result);
  }
  setConsole(previous);
  return out.str();
}

// An extension command registered as the system's are: a row and a function.
void greet(Call& call) { call.result.setString("hello"); }
constexpr KeywordRow kGreet = {.name = "greet", .aliases = "", .run = greet, .args = {0, 1, "x"},
                               .group = "extension commands", .usage = "greet", .summary = "Says hello.",
                               .example = "greet 1", .printed = "", .help = "greet: says hello\n"};

}  // namespace

TEST(ScriptFile, StatementsOnIndentedLinesRunInOrderAndTheLastValueIsTheFilesValue) {
  ScratchDir dir;
  dir.write("plain.txt", "begin\n(print 1)\n(print 2)\n(add 40 2)\n");
  dir.write("indented.txt", "begin\r\n    (print 1)\r\n\t\t(print 2)\r\n  \t (add 40 2)");
  dir.write("my script.txt", "begin (print 1) (print 2) (add 40 2)");
  const std::string echo = "integer temp = 1\ninteger temp = 2\ninteger temp = 42\n\n";
  EXPECT_EQ(transcript({"file plain.txt", "file indented.txt", "file \"my script.txt\"", "file (my script.txt)"}),
            tx({echo, echo, echo, echo}));
}

TEST(ScriptFile, IndentationIsDroppedEvenInsideQuotesWhileTabsWithinALineStay) {
  // A path is the one token taken as written, so it shows the raw script text.
  ScratchDir dir;
  dir.write("inner one.txt", "print 1");
  dir.write("tab\tname.txt", "print 2");
  dir.write("wrapped.txt", "file \"inner\n\t  one.txt\"");
  dir.write("tabbed.txt", "file \"tab\tname.txt\"");
  dir.write("lead.txt", "   \tprint 3");
  EXPECT_EQ(transcript({"file wrapped.txt", "file tabbed.txt", "file lead.txt"}),
            tx({"integer temp = 1\n" + NUL, "integer temp = 2\n" + NUL, "integer temp = 3\n" + NUL}));
}

TEST(ScriptFile, TwoLinesOfExpressionsAreOneExpression) {
  ScratchDir dir;
  dir.write("two.txt", "print 1\nprint 2\n");
  dir.write("empty.txt", "");
  EXPECT_EQ(transcript({"file two.txt", "file empty.txt"}), tx({"integer temp = 1\n" + NUL, "string temp = \n\n"}));
}

TEST(ScriptFile, PrintedErrorsLetTheScriptGoOnAndThrownOnesEndIt) {
  ScratchDir dir;
  dir.write("printed.txt", "begin\n  (print 1)\n  (foo 2)\n  (print 3)\n");
  dir.write("thrown.txt", "begin\n  (print 1)\n  (new string s)\n  (print 3)\n");
  EXPECT_EQ(transcript({"file printed.txt", "file thrown.txt", "if 1 (file thrown.txt) 0", "5"}),
            tx({"integer temp = 1\nSyntax error 'foo 2'\ninteger temp = 3\n" + NUL,
                "integer temp = 1\nSyntax error 'new string s'; illegal type (or cannot be used as array)\n"
                "Error: Error.\n" + NUL,
                "integer temp = 1\nSyntax error 'new string s'; illegal type (or cannot be used as array)\n"
                "Syntax error 'if 1 (file thrown.txt) 0': Error.\n" + NUL,
                "integer temp = 5\n\n"}));
}

TEST(ScriptFile, ScriptSeesItsCallersVariablesAndItsOwnEndWithIt) {
  ScratchDir dir;
  dir.write("read.txt", "get k");
  dir.write("make.txt", "begin\n (new integer z)\n (set z 4)\n (global (new integer g))\n (get z)\n");
  EXPECT_EQ(transcript({"begin (new integer k) (set k 3) (file read.txt)", "file make.txt",
                        "begin (file make.txt) 1 (get z)", "!state"}),
            tx({"integer k = 3\n\n", "integer z = 4\n\n", "integer temp = 1\n\n", "State List:\n<integer, g>\n<integer, g>\n\n\n"}));
}

TEST(ScriptFile, UnopenablePathsPrintTheCannotOpenMessageAndLeaveTheResult) {
  ScratchDir dir;
  std::filesystem::create_directory("folder");
  EXPECT_EQ(transcript({"file \"no such file.txt\"", "file nodir/s.txt", "file folder", "file .", "file \"\"",
                        "begin 3 (file nosuch)"}),
            tx({"Cannot open file 'no such file.txt'\n" + NUL, "Cannot open file 'nodir/s.txt'\n" + NUL,
                "Cannot open file 'folder'\n" + NUL, "Cannot open file '.'\n" + NUL, "Cannot open file ''\n" + NUL,
                "Cannot open file 'nosuch'\ninteger temp = 3\n\n"}));
}

TEST(ScriptFile, ScriptBeyond256KibibytesIsRefusedBeforeItRuns) {
  ScratchDir dir;
  const size_t limit = size_t{256} << 10;
  dir.write("fits.txt", "print 5" + std::string(limit - 7, ' '));
  dir.write("big.txt", "print 5" + std::string(limit - 6, ' '));
  EXPECT_EQ(transcript({"file fits.txt", "file big.txt"}),
            tx({"integer temp = 5\n" + NUL, "Syntax error 'file big.txt'; script too large\n" + NUL}));
}

TEST(ScriptFile, AScriptThatRunsItselfEndsInTheNestingLimit) {
  ScratchDir dir;
  dir.write("self.txt", "begin\n  (file self.txt)\n");
  EXPECT_EQ(transcript({"file self.txt", "5"}), tx({"Error: nesting too deep\n" + NUL, "integer temp = 5\n\n"}));
}

TEST(FileAccess, FifosAndDevicesNeverHoldASessionScriptsComeFromRegularFilesOnly) {
  ScratchDir dir;
  ASSERT_EQ(mkfifo("ff", 0600), 0);  // no writer, no reader: opening it plainly would wait for ever
  EXPECT_EQ(transcript({"global (new integer g)", "file ff", "new_file ff", "print_file ff (print 5)", "set g 4",
                        "file /dev/zero", "file /dev/null", "new_file /dev/null", "print_file /dev/null 1", "get g"}),
            tx({NUL, "Cannot open file 'ff'\n" + NUL, "Cannot open file 'ff'\n" + NUL, "Cannot open file 'ff'\n" + NUL,
                NUL, "Cannot open file '/dev/zero'\n" + NUL, "Cannot open file '/dev/null'\n" + NUL, NUL, NUL,
                "integer g = 4\n\n"}));
}

TEST(FileAccess, ConfinementAdmitsOnlyPathsResolvingInsideTheRoot) {
  ScratchDir dir;
  namespace fs = std::filesystem;
  fs::create_directory("root");
  fs::create_directory("root/sub");
  fs::create_symlink("/etc", "root/out");
  Interpreter interp(languageKeywords());
  EXPECT_TRUE(interp.files.mayOpen("/etc/hostname"));
  EXPECT_FALSE(interp.files.mayOpen(std::string("a\0b", 3)));
  interp.files.root = dir.path() + "/root/";
  EXPECT_TRUE(interp.files.mayOpen("root/new.txt"));
  EXPECT_TRUE(interp.files.mayOpen("root/sub/../x.txt"));
  EXPECT_TRUE(interp.files.mayOpen(dir.path() + "/root"));
  EXPECT_FALSE(interp.files.mayOpen("root/../x.txt"));
  EXPECT_FALSE(interp.files.mayOpen("rootless.txt"));
  EXPECT_FALSE(interp.files.mayOpen("root/out/hostname"));
  EXPECT_FALSE(interp.files.mayOpen("/etc/hostname"));
}

TEST(FileAccess, ConfinedInterpreterReportsPathsOutsideAsUnopenable) {
  ScratchDir dir;
  std::filesystem::create_directory("box");
  dir.write("outside.txt", "print 1");
  dir.write("box/inside.txt", "print 2");
  Interpreter interp(languageKeywords());
  interp.files.root = "box";
  EXPECT_EQ(runLines(interp, {"file outside.txt", "file box/inside.txt", "new_file x.txt", "print_file x.txt 1",
                              "new_file box/x.txt"}),
            "Cannot open file 'outside.txt'\n" + NUL + "integer temp = 2\n" + NUL +
                "Cannot open file 'x.txt'\n" + NUL + "Cannot open file 'x.txt'\n" + NUL + NUL);
  EXPECT_EQ(dir.read("x.txt"), "<missing>");
  EXPECT_EQ(dir.read("box/x.txt"), "");
}

TEST(Help, EmptyRegistryPrintsNothingAndTheArgumentMustBeAString) {
  EXPECT_EQ(transcript({"help foo", "begin 7 (help print)", "help 5"}),
            tx({NUL, "integer temp = 7\n\n", "Error: getString error - type is NULL or not string\n" + NUL}));
}

TEST(Help, RegisteredExtensionAnswersHelpAndItsKeyword) {
  Interpreter interp(languageKeywords());
  interp.registerExtension(kGreet);
  EXPECT_EQ(runLines(interp, {"help greet", "help Greet", "greet 1"}),
            "greet: says hello\n" + NUL + NUL + "string temp = hello\n\n");
}

TEST(Help, EveryKeywordRowHasAGroupAndItsExamplePrintsWhatItShows) {
  for (const KeywordRow* row : languageKeywords().rows()) {
    EXPECT_NE(std::find_if(keywordGroups().begin(), keywordGroups().end(),
                           [&](const char* g) { return std::string(g) == row->group; }),
              keywordGroups().end())
        << row->name;
    ScratchDir dir;
    std::filesystem::create_directory_symlink(std::string(DOVEX_SOURCE_DIR) + "/examples", dir.path() + "/examples");
    EXPECT_EQ(transcript({row->example}).substr(0, P.size() + std::string(row->printed).size()), P + row->printed)
        << row->name;
  }
}

TEST(Help, BangHelpListsKeywordsAndExtensionsAndDescribesEither) {
  Interpreter interp(languageKeywords());
  interp.registerExtension(kGreet);
  const std::string index = runLines(interp, {"!help"});
  for (const std::string& word : languageKeywords().spellings()) {
    EXPECT_NE(index.find(" " + word), std::string::npos) << word;
  }
  EXPECT_NE(index.find("Extension commands: greet\n"), std::string::npos) << index;
  EXPECT_EQ(runLines(interp, {"!help  greet"}), "greet: says hello\n\n\n");
  const std::string synopsis = runLines(interp, {"!help =="});
  EXPECT_EQ(synopsis.rfind("comp.eq A B\n  also written: ==\n", 0), 0u) << synopsis;
  clearDiagnostics();
  runLines(interp, {"!help", "!help add", "!help greet"});
  EXPECT_FALSE(diagnosticReported());
  EXPECT_EQ(runLines(interp, {"!help nosuch"}), "No keyword or extension command 'nosuch'; !help lists them.\n\n\n");
  EXPECT_TRUE(diagnosticReported());
}

TEST(Diagnostics, EveryKindOfReportMarksTheRunAndOrdinaryOutputDoesNot) {
  ScratchDir dir;
  for (const char* line :
       {"nosuchkeyword 1", "add 1 2.0", "gate cnot 0 0 1", "rand 0", "new space temp 2", "comp.lt 1 1.0",
        "comp.lt abc abc", "cnorm (matrix 2 2 zero)", "while 1.0 (nop 0)", "new space s 0", "new matrix m 0 1",
        "file missing.txt", "new_file nodir/x.csv", "print_file /dev/full 1", "get_element (matrix 1 1 zero) 3 3",
        "matrix 1 1 5", "if 1 (integer 2.5) 0", "integer 2.5", "random_int 5 1"}) {
    clearDiagnostics();
    transcript({line});
    EXPECT_TRUE(diagnosticReported()) << line;
  }
  for (const char* line : {"print 5", "vector 1 2", "begin (new space q 2) (new system s 1 q) (partial_measure "
                           "(get q.ket.0) (get s) 0)", "help nothing", "if 0 1 2", "user.input x", "!state"}) {
    clearDiagnostics();
    transcript({line});
    EXPECT_FALSE(diagnosticReported()) << line;
  }
}
