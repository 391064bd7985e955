// The command line: what to run (a session, a script, one line) and how.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "runtime/diagnostics.h"

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
  std::string line;             // the line(s) of Line
  std::vector<std::string> libraries;  // -l NAME, in the order given
  std::optional<uint32_t> seed; // --seed N; the clock without it
  bool quiet = false;           // -q: no banner
  WarningMode warnings = WarningMode::Shown;  // -W none | -W error
};

// Reads [args] (the words after the program name). Returns nullopt and sets
// [error] to a one-line reason for a command line that makes no sense.
std::optional<CommandLine> parseCommandLine(const std::vector<std::string>& args, std::string& error);

// The text --help prints.
std::string usageText();
