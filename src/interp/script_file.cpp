#include "interp/script_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

#include "runtime/file_access.h"

namespace {

// The longest script `file` reads: thousands of lines, yet small enough that
// a script that nests thousands of levels deep or runs itself
// (every level keeps its own copy of its text), stays within a few GiB.
constexpr size_t kMaxScriptBytes = size_t{256} << 10;

}  // namespace

ScriptRead readScriptFile(const std::string& path, std::string& script, FirstLine first, SourceText* source) {
  const FileDescriptor file = openFileWithoutWaiting(path, FileUse::ReadScript);
  if (!file.isOpen()) return ScriptRead::CannotOpen;
  struct stat info {};
  if (fstat(file.get(), &info) != 0) return ScriptRead::CannotOpen;
  if (static_cast<uint64_t>(info.st_size) > kMaxScriptBytes) return ScriptRead::TooLarge;
  return readScript(file.get(), script, first, source);
}

ScriptRead readScript(int fd, std::string& script, FirstLine first, SourceText* source) {
  bool lineStart = false;
  uint32_t line = 1;
  uint32_t column = 0;
  bool afterReturn = false;  // the "\n" of a "\r\n" ends no further line
  // Whether a first line "#!…" may still be being dropped; its first two
  // characters are checked as they come (a pipe may deliver them apart).
  bool skipping = first == FirstLine::Skipped;
  size_t total = 0;
  char buffer[1 << 14];
  for (;;) {
    const ssize_t got = read(fd, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    // A read that fails part-way (a device error) runs nothing rather than
    // half a script.
    if (got < 0) return ScriptRead::CannotOpen;
    if (got == 0) break;
    const size_t n = static_cast<size_t>(got);
    total += n;
    if (total > kMaxScriptBytes) return ScriptRead::TooLarge;
    for (size_t i = 0; i < n; ++i) {
      const char c = buffer[i];
      ++column;
      if (skipping) {
        const size_t at = total - n + i;  // offset of c in the file
        if (at < 2 && c == "#!"[at]) continue;
        if (at >= 2 && c != '\n' && c != '\r') continue;
        skipping = false;
        if (at == 1) {  // "#" then something else: an ordinary first line
          script += '#';
          if (source) source->add(1, 1);
        }
      }
      if (c == '\n' || c == '\r') {
        script += ' ';
        if (source) source->add(line, column);
        lineStart = true;
        if (!(c == '\n' && afterReturn)) ++line;
        column = 0;
        afterReturn = c == '\r';
        continue;
      }
      afterReturn = false;
      if (c == ' ' || c == '\t') {
        if (!lineStart) {
          script += c;
          if (source) source->add(line, column);
        }
      } else {
        script += c;
        if (source) source->add(line, column);
        lineStart = false;
      }
    }
  }
  if (skipping && total == 1) {  // the whole script was "#"
    script += '#';
    if (source) source->add(1, 1);
  }
  if (source) source->add(line, column + 1);
  return ScriptRead::Done;
}
