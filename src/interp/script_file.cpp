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

ScriptRead readScriptFile(const std::string& path, std::string& script) {
  const FileDescriptor file = openFileWithoutWaiting(path, FileUse::ReadScript);
  if (!file.isOpen()) return ScriptRead::CannotOpen;
  struct stat info {};
  if (fstat(file.get(), &info) != 0) return ScriptRead::CannotOpen;
  if (static_cast<uint64_t>(info.st_size) > kMaxScriptBytes) return ScriptRead::TooLarge;
  return readScript(file.get(), script);
}

ScriptRead readScript(int fd, std::string& script) {
  bool lineStart = false;
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
  return ScriptRead::Done;
}
