#include "builtins/language.h"
#include "transcript.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "extensions/extension.h"
#include "interp/interpreter.h"
#include "interp/stream_console.h"
#include "shell/shell.h"
#include "runtime/console.h"
#include "runtime/script_error.h"

namespace {

std::string runTranscript(const std::vector<std::string>& lines, unsigned seed, bool withExtensions) {
  std::string input;
  for (const std::string& line : lines) input += line + "\n";
  std::istringstream in(input);
  std::ostringstream out;
  std::ostream* previous = setConsole(&out);
  std::srand(seed);
  {
    StreamConsole console(in, out);
    Interpreter interp(languageKeywords(), &console);
    if (withExtensions) registerExtensions(interp);
    runWithLargeStack([&] { runPromptLoop(interp, console); });
  }
  setConsole(previous);
  std::string text = out.str();
  // Skip the banner: title line, notice line, empty line.
  size_t start = 0;
  for (int i = 0; i < 3 && start != std::string::npos; ++i) {
    start = text.find('\n', start);
    if (start != std::string::npos) ++start;
  }
  text = start == std::string::npos ? std::string() : text.substr(start);
  if (text.size() >= P.size() && text.compare(text.size() - P.size(), P.size(), P) == 0) {
    text.resize(text.size() - P.size());
  }
  return text;
}

}  // namespace

std::string transcript(const std::vector<std::string>& lines, unsigned seed) {
  return runTranscript(lines, seed, false);
}

std::string transcriptWithExtensions(const std::vector<std::string>& lines, unsigned seed) {
  return runTranscript(lines, seed, true);
}

std::string thrownMessage(const std::function<void()>& f) {
  try {
    f();
  } catch (const ScriptError& e) {
    return e.what();
  }
  return "<nothing>";
}

std::string tx(const std::vector<std::string>& echoes) {
  std::string text;
  for (const std::string& e : echoes) text += P + e;
  return text;
}

ScratchDir::ScratchDir() {
  char pattern[] = "/tmp/dovex-test-XXXXXX";
  const char* made = mkdtemp(pattern);
  path_ = made ? made : "/tmp";
  previous_ = std::filesystem::current_path().string();
  std::filesystem::current_path(path_);
}

ScratchDir::~ScratchDir() {
  std::error_code ec;
  std::filesystem::current_path(previous_, ec);
  std::filesystem::remove_all(path_, ec);
}

void ScratchDir::write(const std::string& name, const std::string& content) const {
  std::ofstream(path_ + "/" + name, std::ios::binary) << content;
}

std::string ScratchDir::read(const std::string& name) const {
  std::ifstream file(path_ + "/" + name, std::ios::binary);
  if (!file) return "<missing>";
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}
