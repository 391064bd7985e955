// The real binary run from a command line: scripts from a file or from
// standard input, one line with -e, seeds that repeat draws, and the exit
// statuses a calling program relies on.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "transcript.h"

namespace {

struct Outcome {
  std::string out;
  std::string err;
  int status;
};

// Runs the binary with [args] (shell words) in the current directory, with
// [input] on standard input. Args that start with ";" run a command line of
// their own instead.
Outcome run(const ScratchDir& dir, const std::string& args, const std::string& input = "") {
  dir.write("stdin.txt", input);
  const std::string command =
      (args.rfind(";", 0) == 0 ? args.substr(1) : std::string(DOVEX_BINARY) + " " + args) + " <stdin.txt 2>stderr.txt";
  FILE* pipe = popen(command.c_str(), "r");
  Outcome r{"", "", -1};
  if (!pipe) return r;
  char buffer[4096];
  while (const size_t n = fread(buffer, 1, sizeof buffer, pipe)) r.out.append(buffer, n);
  const int status = pclose(pipe);
  r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  r.err = dir.read("stderr.txt");
  return r;
}

// What a session prints for "file [path]", without its prompts and the echo.
std::string printedByFile(const std::string& path) {
  std::string text = transcript({"file " + path});
  text = text.substr(P.size());
  const size_t echo = text.rfind("NULL\n\n");
  return echo == std::string::npos ? text : text.substr(0, echo);
}

}  // namespace

TEST(CommandLine, ScriptsRunAsFileRunsThemAndTheStatusTellsWhetherAnythingWasReported) {
  ScratchDir dir;
  const std::string clean = "begin\n  (new integer i)\n\t(set i 4)\n  (print (get i))\n(print_one_line done)";
  dir.write("clean.txt", clean);
  const Outcome fromFile = run(dir, "clean.txt");
  EXPECT_EQ(fromFile.out, printedByFile("clean.txt"));
  EXPECT_EQ(fromFile.out, "integer i = 4\ndone");
  EXPECT_EQ(fromFile.status, 0);
  const Outcome fromInput = run(dir, "-", clean);
  EXPECT_EQ(fromInput.out, fromFile.out);
  EXPECT_EQ(fromInput.status, 0);

  // A printed diagnostic lets the script go on; a thrown message ends it.
  // Either way the run failed.
  dir.write("printed.txt", "begin\n(add 1 2.0)\n(print ok)");
  const Outcome printed = run(dir, "printed.txt");
  EXPECT_EQ(printed.out, printedByFile("printed.txt"));
  EXPECT_NE(printed.out.find("string temp = ok"), std::string::npos);
  EXPECT_EQ(printed.status, 1);
  const Outcome thrown = run(dir, "-", "begin\n(integer 2.5)\n(print never)");
  EXPECT_EQ(thrown.out, "Error: getString error - type is NULL or not string\n");
  EXPECT_EQ(thrown.status, 1);
  // Diagnostics caught inside the script count as well.
  EXPECT_EQ(run(dir, "-", "if 1 (integer 2.5) 0").status, 1);
  EXPECT_EQ(run(dir, "-", "file missing.txt").status, 1);
}

TEST(CommandLine, OneLineEchoesAsThePromptDoesWithoutBannerOrPrompt) {
  ScratchDir dir;
  EXPECT_EQ(run(dir, "-e 'add 1 2'").out, "integer temp = 3\n\n");
  const Outcome failed = run(dir, "-c 'begin (new space temp 2) 5'");
  EXPECT_EQ(failed.out, "Illegal name 'temp'; on line 'new space temp 2'\ninteger temp = 5\n\n");
  EXPECT_EQ(failed.status, 1);
  // A session keeps its banner (unless -q) and ends well whatever its lines reported.
  const Outcome session = run(dir, "", "add 1 2.0\n");
  EXPECT_EQ(session.out.rfind("Brivane (Dovex) v.0.81.4.13\n", 0), 0u);
  EXPECT_EQ(session.status, 0);
  EXPECT_EQ(run(dir, "-q", "5\n").out, P + "integer temp = 5\n\n" + P);
  EXPECT_EQ(run(dir, "--version").out, "Brivane (Dovex) v.0.81.4.13\n");
  EXPECT_EQ(run(dir, "--help").status, 0);
}

TEST(CommandLine, WrongCommandLinesAndUnreadableScriptsExitWithTwoAndSayWhy) {
  ScratchDir dir;
  dir.write("ok.txt", "5");
  ASSERT_EQ(mkfifo("fifo", 0600), 0);
  for (const char* args : {"missing.txt", ".", "fifo", "--seed", "--seed -1", "--seed 4294967296",
                           "--seed 0004294967296", "--seed 12x", "--seed ''", "--bogus", "ok.txt ok.txt", "-e",
                           "-e 5 ok.txt", "-l", "-l nosuch -e 5"}) {
    const Outcome r = run(dir, args);
    EXPECT_EQ(r.status, 2) << args;
    EXPECT_EQ(r.out, "") << args;
    EXPECT_NE(r.err, "") << args;
  }
  // A FILE that is no regular file says what it is and how to run such a
  // script, without waiting for a writer on a pipe.
  EXPECT_EQ(run(dir, "fifo").err,
            "dovex: 'fifo' is a pipe, not a regular file; 'dovex -' runs a script read from standard input "
            "(... | dovex -)\n");
  EXPECT_NE(run(dir, ".").err.find("'.' is a directory, not a regular file;"), std::string::npos);
  EXPECT_EQ(run(dir, "--seed 4294967295 ok.txt").status, 0);
  EXPECT_EQ(run(dir, "-- ok.txt").status, 0);
}

TEST(CommandLine, InterpreterLinesSeveralLinesLeadingZerosAndLostOutput) {
  ScratchDir dir;
  // A first line "#!" is skipped from the command line only; `file` reads it.
  const std::string script = "#!/usr/bin/env dovex\nbegin\n(nop says five)\n(print 5)\n";
  dir.write("five", script);
  ASSERT_EQ(chmod("five", 0755), 0);
  const std::string folder = std::filesystem::path(DOVEX_BINARY).parent_path().string();
  const Outcome executable = run(dir, "; PATH=" + folder + ":$PATH ./five");
  EXPECT_EQ(executable.out, "integer temp = 5\n");
  EXPECT_EQ(executable.status, 0);
  EXPECT_EQ(run(dir, "-", script).out, "integer temp = 5\n");
  EXPECT_EQ(printedByFile("five").rfind("Syntax error '#!/usr/bin/env dovex begin", 0), 0u);
  // Each line of -e runs as typed at the prompt, up to an `exit`.
  EXPECT_EQ(run(dir, "-e 'add 1 2\n\nadd 3 4\n'").out,
            "integer temp = 3\n\nstring temp = \n\ninteger temp = 7\n\n");
  EXPECT_EQ(run(dir, "-e '5\nexit\n6'").out, "integer temp = 5\n\n");
  EXPECT_EQ(run(dir, "--seed 00000000001 -e 'rand 1000'").out, run(dir, "--seed 1 -e 'rand 1000'").out);
  // Output that cannot be written fails the run, whether it is lost at the
  // end or part-way through a long one, and in a session too.
  for (const char* args : {"-e 'add 1 2' >/dev/full", "-e 'matrix 300 300 ident' >/dev/full", "-q >/dev/full"}) {
    const Outcome lost = run(dir, args, "add 1 2\n");
    EXPECT_EQ(lost.err, "dovex: write error: No space left on device\n") << args;
    EXPECT_EQ(lost.status, 1) << args;
  }
}

TEST(CommandLine, LibrariesRunIntoTheGlobalsFirstEachFileOnce) {
  ScratchDir dir;
  std::filesystem::create_directories("prog/libs");
  dir.write("prog/libs/counter.txt", "begin\n(new integer loads)\n(set loads (add (get loads) 1))\n(print_one_line loaded)");
  dir.write("prog/helper", "begin (new integer helper) (set helper 9)");
  dir.write("prog/main.txt", "begin\n(file prog/inner.txt)");
  dir.write("prog/inner.txt", "begin\n(print (get loads))\n(print (get helper))");
  // Found by DOVEX_PATH (a missing folder skipped) and beside the script;
  // every scope sees the names; one file named twice runs once.
  const Outcome found = run(dir, "; DOVEX_PATH=/no/such:prog/libs " + std::string(DOVEX_BINARY) +
                                     " -l counter -l prog/libs/counter.txt -l helper prog/main.txt");
  EXPECT_EQ(found.out, "loadedinteger loads = 1\ninteger helper = 9\n");
  EXPECT_EQ(found.status, 0);
  // The source tree's lib/ holds the gates, seen from any folder.
  EXPECT_EQ(run(dir, "-l gates -e 'get_element (get CNOT) 3 2'").out, "complex temp = 1 + 0i\n\n");
  EXPECT_NE(run(dir, "-l counter -e 5").err.find("cannot find the library 'counter' (nor counter.txt) in: ."),
            std::string::npos);
}

TEST(CommandLine, TheSameSeedRepeatsEveryDrawAndMeasurement) {
  ScratchDir dir;
  const std::string line =
      "begin (new space q 2) (new system r 3 q q q) (new integer k) (print (rand 1000)) (print (randf 0.0 1.0)) "
      "(print (random_int 1 100)) (print (measure (matrix 8 1 UFT) (get r) 0 k)) (print (get k)) "
      "(measure_qbit (apply_op (get r) 1 (matrix 2 2 QFT) (tensor (get q.ket.0) (tensor (get q.ket.0) (get q.ket.0)))) "
      "1 k) (get k)";
  const Outcome first = run(dir, "--seed 12345 -e '" + line + "'");
  EXPECT_EQ(first.status, 0) << first.out;
  EXPECT_EQ(run(dir, "--seed=12345 -e '" + line + "'").out, first.out);
  // The seed is the C library's: the same draws as a session seeded so.
  EXPECT_EQ(first.out, transcript({line}, 12345).substr(P.size()));
  std::string others;
  for (const char* seed : {"1", "2", "3"}) others += run(dir, std::string("--seed ") + seed + " -e '" + line + "'").out;
  EXPECT_EQ(others.find(first.out), std::string::npos) << "other seeds, other draws";
}

TEST(CommandLine, NotesOnStandardErrorSayWhereAndWhatWithoutChangingTheOutput) {
  ScratchDir dir;
  dir.write("inner.dvx", "begin\n  (new integer n)\n  (set n 2.5)\n  (print (sin 1))\nend\n");
  dir.write("outer.dvx", "begin\n  (print (get missing))\n  (add 1 2 3)\n  (mul 2 3)\n  (file inner.dvx)\nend\n");
  const Outcome shown = run(dir, "outer.dvx");
  EXPECT_EQ(shown.err,
            "outer.dvx:2:11: warning: no variable 'missing' is visible here, so get gives nothing\n"
            "outer.dvx:3:4: warning: add reads 2 arguments; 1 more is ignored\n"
            "outer.dvx:4:4: in mul 2 3\n"
            "outer.dvx:4:4: warning: no keyword or extension command is called 'mul'; did you mean `mult`?\n"
            "inner.dvx:3:4: warning: 'n' is an integer and the value a double, so 'n' is left as it was\n"
            "  called from outer.dvx:5:4\n"
            "inner.dvx:4:11: in sin 1\n"
            "  argument 1 of sin is the integer 1; a double is expected (write 1.0)\n"
            "  called from outer.dvx:5:4\n"
            "inner.dvx:4:4: the error stopped the script at print (sin 1)\n");
  // An argument computed by an expression is named as well as a literal one.
  EXPECT_NE(run(dir, "-e 'mult 2 (sin (add 1 1))'").err.find("argument 1 of sin is the integer 2;"),
            std::string::npos);

  // Warnings never touch standard output: silenced, or counted for the exit status.
  const Outcome silenced = run(dir, "-W none outer.dvx");
  EXPECT_EQ(silenced.out, shown.out);
  EXPECT_EQ(silenced.err.find("warning"), std::string::npos);
  EXPECT_EQ(run(dir, "-W none -e 'add 1 2 3'").status, 0);
  const Outcome counted = run(dir, "-W error -e 'add 1 2 3'");
  EXPECT_EQ(counted.out, "integer temp = 3\n\n");
  EXPECT_EQ(counted.status, 1);
  EXPECT_EQ(run(dir, "-W maybe -e 1").status, 2);

  // Brackets that do not balance, in a line and in a script (the line
  // breaks of a script counted).
  EXPECT_EQ(run(dir, "-e '1\nprint (add 40 2'").err,
            "-e:2:7: warning: this ( is never closed: the rest of the text is inside it\n");
  EXPECT_EQ(run(dir, "-", "begin\n  (print 1))\n(print 2)\n").err, "-:2:12: warning: this ) closes nothing\n");
}
