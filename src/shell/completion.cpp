#include "shell/completion.h"

#include <algorithm>
#include <filesystem>
#include <sstream>
#include <system_error>

#include "extensions/extension.h"
#include "shell/help.h"
#include "runtime/console.h"

namespace {

// Characters that end a word, as the terminal's completion breaks words.
constexpr std::string_view kWordBreaks = " \t\n\r(),\"";
// The shell commands a line may start with.
const char* const kShellCommands[] = {"!clear", "!exit", "!help", "!state"};
// At most this many file names are offered.
constexpr size_t kMostFileNames = 1000;

bool breaksWord(char c) { return kWordBreaks.find(c) != std::string_view::npos; }

// Where the word that ends at [cursor] starts.
size_t wordStart(std::string_view text, size_t cursor) {
  size_t start = cursor;
  while (start > 0 && !breaksWord(text[start - 1])) --start;
  return start;
}

// Whether the word before the one starting at [start] is `file`.
bool followsFile(std::string_view text, size_t start) {
  size_t end = start;
  while (end > 0 && (text[end - 1] == ' ' || text[end - 1] == '\t' || text[end - 1] == ',')) --end;
  if (end == start) return false;
  const size_t begin = wordStart(text, end);
  return text.substr(begin, end - begin) == "file";
}

// The files and folders whose path starts with [prefix].
std::vector<std::string> fileNames(const std::string& prefix) {
  namespace fs = std::filesystem;
  const size_t slash = prefix.rfind('/');
  const std::string folder = slash == std::string::npos ? std::string() : prefix.substr(0, slash + 1);
  const std::string start = prefix.substr(folder.size());
  std::vector<std::string> names;
  std::error_code ec;
  for (fs::directory_iterator it(folder.empty() ? "." : folder, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (name.rfind(start, 0) != 0 || (name[0] == '.' && start.empty())) continue;
    std::error_code kind;
    names.push_back(folder + name + (it->is_directory(kind) ? "/" : ""));
    if (names.size() == kMostFileNames) break;
  }
  return names;
}

}  // namespace

Completion completeAt(const Interpreter& interp, std::string_view text, size_t cursor) {
  cursor = std::min(cursor, text.size());
  Completion completion;
  completion.start = wordStart(text, cursor);
  completion.end = cursor;
  const std::string word(text.substr(completion.start, cursor - completion.start));
  std::vector<std::string> candidates;
  if (followsFile(text, completion.start)) {
    candidates = fileNames(word);
  } else {
    candidates = completionWords(interp);
    candidates.insert(candidates.end(), std::begin(kShellCommands), std::end(kShellCommands));
    interp.globals.forEachOwnEntry([&](const Scope::Entry& e) { candidates.push_back(e.object.name); });
  }
  for (std::string& candidate : candidates) {
    if (candidate.rfind(word, 0) == 0) completion.matches.push_back(std::move(candidate));
  }
  std::sort(completion.matches.begin(), completion.matches.end());
  completion.matches.erase(std::unique(completion.matches.begin(), completion.matches.end()),
                           completion.matches.end());
  return completion;
}

std::string inspectAt(Interpreter& interp, std::string_view text, size_t cursor) {
  cursor = std::min(cursor, text.size());
  size_t end = cursor;
  while (end < text.size() && !breaksWord(text[end])) ++end;
  const size_t start = wordStart(text, cursor);
  const std::string word(text.substr(start, end - start));
  if (word.empty()) return {};
  // An extension prints its own help to the console: it is caught here.
  std::ostringstream help;
  std::ostream* const previous = setConsole(&help);
  bool found = false;
  try {
    found = printHelpFor(interp, word, help);
  } catch (...) {
    setConsole(previous);
    throw;
  }
  setConsole(previous);
  return found ? help.str() : std::string();
}
