#include "shell/command_line.h"

namespace {

// A seed is a decimal number that fits 32 bits unsigned: digits only (as
// many leading zeros as wanted), no sign, no spaces, so a mistyped seed is
// never silently another run.
std::optional<uint32_t> parseSeed(const std::string& text) {
  if (text.empty()) return std::nullopt;
  uint64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + static_cast<uint64_t>(c - '0');
    if (value > UINT32_MAX) return std::nullopt;
  }
  return static_cast<uint32_t>(value);
}

}  // namespace

std::optional<CommandLine> parseCommandLine(const std::vector<std::string>& args, std::string& error) {
  CommandLine options;
  bool haveWork = false;  // a FILE, "-" or -e was given
  bool optionsEnded = false;
  auto setWork = [&](CommandLine::Mode mode, const std::string& what) {
    if (haveWork) {
      error = "unexpected argument '" + what + "': one script or one -e line per run";
      return false;
    }
    haveWork = true;
    options.mode = mode;
    return true;
  };
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (optionsEnded || arg == "-" || arg.empty() || arg[0] != '-') {
      const bool input = !optionsEnded && arg == "-";
      if (!setWork(input ? CommandLine::Mode::ScriptInput : CommandLine::Mode::ScriptFile, arg)) return std::nullopt;
      if (!input) options.path = arg;
    } else if (arg == "--") {
      optionsEnded = true;
    } else if (arg == "--help" || arg == "-h") {
      options.mode = CommandLine::Mode::Help;
      return options;
    } else if (arg == "--version") {
      options.mode = CommandLine::Mode::Version;
      return options;
    } else if (arg == "--kernel") {
      if (!setWork(CommandLine::Mode::Kernel, arg)) return std::nullopt;
    } else if (arg == "-q") {
      options.quiet = true;
    } else if (arg == "-W" || arg.rfind("-W", 0) == 0) {
      const std::string value = arg == "-W" ? (i + 1 < args.size() ? args[++i] : "") : arg.substr(2);
      if (value == "none") {
        options.warnings = WarningMode::Silenced;
      } else if (value == "error") {
        options.warnings = WarningMode::Counted;
      } else if (value == "all") {
        options.warnings = WarningMode::Shown;
      } else {
        error = "option -W takes none, error or all";
        return std::nullopt;
      }
    } else if (arg == "-l") {
      if (i + 1 == args.size()) {
        error = "option -l needs the name of a library";
        return std::nullopt;
      }
      options.libraries.push_back(args[++i]);
    } else if (arg == "-e" || arg == "-c") {
      if (i + 1 == args.size()) {
        error = "option " + arg + " needs a line to evaluate";
        return std::nullopt;
      }
      if (!setWork(CommandLine::Mode::Line, arg)) return std::nullopt;
      options.line = args[++i];
    } else if (arg == "--seed" || arg.rfind("--seed=", 0) == 0) {
      std::string value;
      if (arg == "--seed") {
        if (i + 1 == args.size()) {
          error = "option --seed needs a number";
          return std::nullopt;
        }
        value = args[++i];
      } else {
        value = arg.substr(7);
      }
      options.seed = parseSeed(value);
      if (!options.seed) {
        error = "invalid seed '" + value + "': a whole number from 0 to 4294967295";
        return std::nullopt;
      }
    } else {
      error = "unknown option '" + arg + "'";
      return std::nullopt;
    }
  }
  return options;
}

std::string usageText() {
  return "usage: dovex [options] [FILE | - | -e LINE]\n"
         "\n"
         "Without FILE or -e, starts an interactive session.\n"
         "\n"
         "  FILE          run the script FILE as `file` runs it and exit; only what\n"
         "                the script prints is shown; a first line starting with #!\n"
         "                is skipped, so a script can start with #!/usr/bin/env dovex\n"
         "  -             run a script read from standard input and exit\n"
         "  -e LINE, -c LINE\n"
         "                evaluate LINE, print its value as the prompt does, and exit;\n"
         "                a LINE of several lines runs them one after the other\n"
         "  -l NAME       run the library NAME into the global variables first (may be\n"
         "                repeated; each file once): NAME, then NAME.txt, looked up in\n"
         "                the current folder, the folder of FILE, each folder of\n"
         "                DOVEX_PATH (separated by colons), then the gate library's\n"
         "                folder; -l gates defines H, X, CNOT and the other gates\n"
         "  --seed N      seed the random numbers with N (0 to 4294967295), so that\n"
         "                draws and measurements repeat; the clock otherwise\n"
         "  -W none       write no warnings (notes on standard error about what the\n"
         "                language lets pass without a word: an unknown variable, a\n"
         "                set that assigns nothing, ignored arguments, open brackets)\n"
         "  -W error      count warnings as errors for the exit status\n"
         "  -W all        write the warnings without counting them (the default)\n"
         "  -q            start a session without the banner\n"
         "  --kernel      serve a notebook kernel: framed requests on standard input,\n"
         "                framed output on standard output (jupyter/PROTOCOL.md)\n"
         "  -h, --help    print this help and exit\n"
         "  --version     print the version and exit\n"
         "\n"
         "Exit status of FILE, - and -e: 0 when nothing was reported, 1 when an\n"
         "error was reported, 2 for a wrong command line or a script or library\n"
         "that cannot be read. Any run whose output cannot be written (a full\n"
         "disk) ends with 1.\n"
         "\n"
         "At the prompt, !help lists the keywords and !help WORD describes one.\n";
}
