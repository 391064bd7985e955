#include "interp/script_file.h"

#include <sys/stat.h>

#include <cstdint>
#include <cstdio>
#include <memory>

namespace {

// The longest script `file` reads: thousands of lines, yet small enough that
// /dev/zero, or a script that nests thousands of levels deep or runs itself
// (every level keeps its own copy of its text), stays within a few GiB.
constexpr size_t kMaxScriptBytes = size_t{256} << 10;

struct FileCloser {
  void operator()(FILE* file) const { std::fclose(file); }
};
using FileHandle = std::unique_ptr<FILE, FileCloser>;

}  // namespace

ScriptRead readScriptFile(const std::string& path, std::string& script) {
  const FileHandle file(std::fopen(path.c_str(), "r"));
  if (!file) return ScriptRead::CannotOpen;
  struct stat info {};
  if (fstat(fileno(file.get()), &info) != 0 || S_ISDIR(info.st_mode)) return ScriptRead::CannotOpen;
  if (S_ISREG(info.st_mode) && static_cast<uint64_t>(info.st_size) > kMaxScriptBytes) return ScriptRead::TooLarge;
  return readScript(file.get(), script);
}

ScriptRead readScript(std::FILE* file, std::string& script) {
  bool lineStart = false;
  size_t total = 0;
  char buffer[1 << 14];
  while (const size_t n = std::fread(buffer, 1, sizeof buffer, file)) {
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
  if (std::ferror(file)) return ScriptRead::CannotOpen;
  return ScriptRead::Done;
}
