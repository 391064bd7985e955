#include "shell/history_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace {

// Opens [path] without following a final symbolic link and accepts only a
// regular file; -1 otherwise.
int openRegular(const std::string& path, int flags) {
  const int fd = open(path.c_str(), flags | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK, 0600);
  if (fd < 0) return -1;
  struct stat info {};
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    close(fd);
    return -1;
  }
  return fd;
}

bool writeAll(int fd, const std::string& text) {
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

std::vector<std::string> HistoryFile::load() {
  std::vector<std::string> lines;
  if (!usable_) return lines;
  const int fd = openRegular(path_, O_RDONLY);
  if (fd < 0) {
    // A missing file is made by the first append; anything else is not ours.
    struct stat info {};
    if (lstat(path_.c_str(), &info) == 0 || errno != ENOENT) usable_ = false;
    return lines;
  }
  std::string text;
  char buffer[1 << 14];
  for (;;) {
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    text.append(buffer, static_cast<size_t>(n));
  }
  close(fd);
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
  const bool written = writeAll(fd, text);
  if (close(fd) != 0 || !written || std::rename(fresh.c_str(), path_.c_str()) != 0) unlink(fresh.c_str());
}

void HistoryFile::append(const std::string& line) {
  if (!usable_) return;
  const int fd = openRegular(path_, O_WRONLY | O_APPEND | O_CREAT);
  if (fd < 0) {
    usable_ = false;
    return;
  }
  if (!writeAll(fd, line + "\n")) usable_ = false;
  close(fd);
}
