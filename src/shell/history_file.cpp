#include "shell/history_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "runtime/file_access.h"

std::vector<std::string> HistoryFile::load() {
  std::vector<std::string> lines;
  if (!usable_) return lines;
  const FileDescriptor file = openFileWithoutWaiting(path_, FileUse::PrivateRead);
  if (!file.isOpen()) {
    // A missing file is made by the first append; anything else is not ours.
    struct stat info {};
    if (lstat(path_.c_str(), &info) == 0 || errno != ENOENT) usable_ = false;
    return lines;
  }
  std::string text;
  char buffer[1 << 14];
  for (;;) {
    const ssize_t n = read(file.get(), buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    text.append(buffer, static_cast<size_t>(n));
  }
  size_t start = 0;
  size_t total = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(start, end - start));
    ++total;
    // Only the last lines are kept; drop the oldest as we go.
    if (lines.size() > 2 * kKeptLines) lines.erase(lines.begin(), lines.end() - kKeptLines);
    start = end + 1;
  }
  if (lines.size() > kKeptLines) lines.erase(lines.begin(), lines.end() - kKeptLines);
  if (total > kKeptLines) shorten(lines);
  return lines;
}

void HistoryFile::shorten(const std::vector<std::string>& lines) {
  // Written beside the file and renamed over it: the name is replaced, never
  // a file that a link would lead to, and a failure leaves the old file.
  const std::string fresh = path_ + ".new";
  const int fd = open(fresh.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) return;
  std::string text;
  for (const std::string& line : lines) text += line + "\n";
  const bool written = writeAll(fd, text.data(), text.size());
  if (close(fd) != 0 || !written || std::rename(fresh.c_str(), path_.c_str()) != 0) unlink(fresh.c_str());
}

void HistoryFile::append(const std::string& line) {
  if (!usable_) return;
  const FileDescriptor file = openFileWithoutWaiting(path_, FileUse::PrivateAppend);
  const std::string text = line + "\n";
  if (!file.isOpen() || !writeAll(file.get(), text.data(), text.size())) usable_ = false;
}
