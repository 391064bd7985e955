// What the fuzz targets share: every input runs in a fresh interpreter, with
// the extension commands registered as at start-up, that never reads
// standard input, prints nowhere, stops runaway loops and is confined to an
// empty scratch directory of its own, removed afterwards. So an input
// behaves the same alone or anywhere in a run.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>

// Evaluations allowed per input line: enough for real programs, few enough
// that an endless `while` is cut short.
inline constexpr uint64_t kFuzzStepLimit = 5000;

// Runs [input] as lines typed at the prompt, each handled exactly as the
// prompt handles it ("!" commands and the line length rule included). The
// console text goes to [console] (nowhere when null).
void runFuzzLines(const std::string& input, std::ostream* console = nullptr);

// Runs [input] as a script file, once, with `file` (line breaks and
// indentation tidied, then one evaluation). The console text goes to
// [console] (nowhere when null).
void runFuzzScript(const std::string& input, std::ostream* console = nullptr);

// Runs [input] as a command line and what it reads: the bytes before the
// first line break are the arguments (separated by NUL bytes), the rest is
// both standard input and the file script.dvx. The arguments are read as
// the program reads them, then the -e line, the script (a FILE inside the
// scratch directory, or "-") or the session runs, with the --seed given (1
// without one). The console text goes to [console] (nowhere when null).
void runFuzzCommandLine(const std::string& input, std::ostream* console = nullptr);
