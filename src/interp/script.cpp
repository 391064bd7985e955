// Script files and extension help.
#include <sys/stat.h>

#include <cstdint>
#include <cstdio>
#include <memory>

#include "interp/file_access.h"
#include "interp/keywords.h"
#include "interp/tokenizer.h"

namespace {

// The longest script `file` reads: thousands of lines, yet small enough that
// /dev/zero, or a script that nests thousands of levels deep or runs itself
// (every level keeps its own copy of its text), stays within a few GiB.
constexpr size_t kMaxScriptBytes = size_t{256} << 10;

struct FileCloser {
  void operator()(FILE* file) const { std::fclose(file); }
};
using FileHandle = std::unique_ptr<FILE, FileCloser>;

enum class ScriptRead { Done, CannotOpen, TooLarge };

// Reads the script at [path] into [script]: each line break becomes a space,
// and the spaces and tabs that indent a line are dropped. The file is closed
// again before the script runs, so a script that runs itself holds no file
// open per level.
ScriptRead readScript(const std::string& path, std::string& script) {
  const FileHandle file(std::fopen(path.c_str(), "r"));
  if (!file) return ScriptRead::CannotOpen;
  struct stat info {};
  if (fstat(fileno(file.get()), &info) != 0 || S_ISDIR(info.st_mode)) return ScriptRead::CannotOpen;
  if (S_ISREG(info.st_mode) && static_cast<uint64_t>(info.st_size) > kMaxScriptBytes) return ScriptRead::TooLarge;

  bool lineStart = false;
  size_t total = 0;
  char buffer[1 << 14];
  while (const size_t n = std::fread(buffer, 1, sizeof buffer, file.get())) {
    total += n;
    if (total > kMaxScriptBytes) return ScriptRead::TooLarge;
    for (size_t i = 0; i < n; ++i) {
      const char c = buffer[i];
      if (c == '\n' || c == '\r') {
        script += ' ';
        lineStart = true;
      } else if (c == ' ' || c == '\t') {
        if (!lineStart) script += c;
      } else {
        script += c;
        lineStart = false;
      }
    }
  }
  // A read that fails part-way (a directory on some systems, a device
  // error) runs nothing rather than half a script.
  if (std::ferror(file.get())) return ScriptRead::CannotOpen;
  return ScriptRead::Done;
}

}  // namespace

void builtinFile(Call& call) {
  // The path is taken as written, never evaluated: a bare word, or a path
  // with spaces in quotes or brackets.
  const std::string path = call.token(1);
  std::string script;
  const ScriptRead outcome = mayOpenPath(call.interp, path) ? readScript(path, script) : ScriptRead::CannotOpen;
  if (outcome == ScriptRead::CannotOpen) {
    reportCannotOpen(path);
    return;
  }
  if (outcome == ScriptRead::TooLarge) {
    call.syntaxError("; script too large");
    return;
  }
  normalizeSpacing(script);
  // The whole file is one statement of this evaluation: the variables it
  // creates without `global` end with the script.
  call.interp.evaluate(script, call.localScope, call.result, call.toGlobal, false);
}

void builtinHelp(Call& call) {
  const std::string name = call.arg(1).getString();
  for (const auto& extension : call.interp.extensions) {
    if (extension && extension->commandName() == name) {
      extension->printHelp();
      return;
    }
  }
}
