// The command line: what to run (a session, a script, one line) and how.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct CommandLine {
  enum class Mode {
    Session,     // the prompt loop
    ScriptFile,  // dovex FILE
    ScriptInput, // dovex -
    Line,        // dovex -e LINE
    Help,        // --help
    Version,     // --version
    Kernel,      // --kernel: the session behind a notebook kernel
  };
  Mode mode = Mode::Session;
  std::string path;             // the script of ScriptFile
  std::string line;             // the line of Line
  std::optional<uint32_t> seed; // --seed N; the clock without it
  bool quiet = false;           // -q: no banner
};

// Reads [args] (the words after the program name). Returns nullopt and sets
// [error] to a one-line reason for a command line that makes no sense.
std::optional<CommandLine> parseCommandLine(const std::vector<std::string>& args, std::string& error);

// The text --help prints.
std::string usageText();
