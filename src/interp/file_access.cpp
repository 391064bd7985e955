#include "interp/file_access.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "value/diagnostics.h"

namespace {

// Whether [path] lies in the directory [root] (or is it), both resolved
// through the symbolic links that exist now.
bool resolvesInside(const std::string& root, const std::string& path) {
  namespace fs = std::filesystem;
  std::error_code ec;
  const fs::path base = fs::weakly_canonical(fs::absolute(root, ec), ec);
  if (ec) return false;
  const fs::path target = fs::weakly_canonical(fs::absolute(path, ec), ec);
  if (ec) return false;
  std::string prefix = base.string();
  while (!prefix.empty() && prefix.back() == '/') prefix.pop_back();
  const std::string full = target.string();
  return full == prefix || full.compare(0, prefix.size() + 1, prefix + "/") == 0;
}

int openFlags(FileUse use) {
  // O_NOCTTY: writing to a terminal device never makes it ours.
  const int common = O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
  switch (use) {
    case FileUse::ReadScript:
      return O_RDONLY | common;
    case FileUse::WriteTruncate:
      return O_WRONLY | O_CREAT | O_TRUNC | common;
    case FileUse::WriteAppend:
      return O_WRONLY | O_CREAT | O_APPEND | common;
  }
  return O_RDONLY | common;
}

bool usableKind(mode_t mode, FileUse use) {
  if (S_ISREG(mode)) return true;
  return use != FileUse::ReadScript && S_ISCHR(mode);
}

// [path] with the symbolic links at its end followed (as open() would
// follow them), so that a link is written through rather than replaced. A
// link that leads nowhere gives the path it names; a loop gives [path].
std::string followLinks(const std::string& path) {
  std::string current = path;
  for (int hops = 0; hops < 40; ++hops) {
    struct stat info {};
    if (lstat(current.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return current;
    std::string target(static_cast<size_t>(info.st_size > 0 ? info.st_size : 255) + 1, '\0');
    const ssize_t n = readlink(current.c_str(), target.data(), target.size());
    if (n <= 0 || static_cast<size_t>(n) >= target.size()) return path;
    target.resize(static_cast<size_t>(n));
    const size_t slash = current.rfind('/');
    current = (target[0] == '/' || slash == std::string::npos) ? target : current.substr(0, slash + 1) + target;
  }
  return path;
}

// Creates a fresh, empty, hidden file in the folder of [target], named after
// it; [name] receives its path. A closed descriptor when the folder refuses.
FileDescriptor createTemporaryBeside(const std::string& target, std::string& name) {
  static std::atomic<unsigned> serial{0};
  const size_t slash = target.rfind('/');
  const std::string folder = slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
  // The name stays well within the system's limit for one component.
  const std::string base = target.substr(folder.size()).substr(0, 200);
  for (int attempt = 0; attempt < 100; ++attempt) {
    name = folder + "." + base + ".new-" + std::to_string(getpid()) + "-" + std::to_string(serial++);
    int fd;
    do {
      fd = open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd >= 0) return FileDescriptor(fd);
    if (errno != EEXIST) break;  // a name left by a killed run: take the next
  }
  name.clear();
  return FileDescriptor();
}

}  // namespace

bool mayOpenPath(const Interpreter& interp, const std::string& path) {
  if (path.find('\0') != std::string::npos) return false;
  return interp.fileRoot.empty() || resolvesInside(interp.fileRoot, path);
}

void reportCannotOpen(const std::string& path) { diagnostic() << "Cannot open file '" << path << "'\n"; }

FileDescriptor::~FileDescriptor() {
  if (fd_ >= 0) ::close(fd_);
}

bool FileDescriptor::close() {
  if (fd_ < 0) return true;
  // The descriptor is gone after close() whatever it reports; EINTR is not
  // a loss of data.
  const int rc = ::close(fd_);
  fd_ = -1;
  return rc == 0 || errno == EINTR;
}

FileDescriptor& FileDescriptor::operator=(FileDescriptor&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = other.fd_;
    other.fd_ = -1;
  }
  return *this;
}

FileDescriptor openFileWithoutWaiting(const std::string& path, FileUse use) {
  if (path.find('\0') != std::string::npos) return FileDescriptor();
  int fd;
  do {
    fd = open(path.c_str(), openFlags(use), 0666);
  } while (fd < 0 && errno == EINTR);
  FileDescriptor file(fd);
  if (!file.isOpen()) return file;
  struct stat info {};
  if (fstat(fd, &info) != 0 || !usableKind(info.st_mode, use)) return FileDescriptor();
  const int flags = fcntl(fd, F_GETFL);
  if (flags < 0 || fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) return FileDescriptor();
  return file;
}

bool writeAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    const ssize_t n = write(fd, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (n == 0) return false;  // nothing taken and no error: give up rather than spin
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

FileReplacement::FileReplacement(const std::string& path) : target_(followLinks(path)) {
  // A name holding a NUL byte, or naming no file in a folder, is refused.
  if (path.find('\0') != std::string::npos || target_.empty() || target_.back() == '/') return;
  struct stat info {};
  const bool exists = stat(target_.c_str(), &info) == 0;
  if (exists && !S_ISREG(info.st_mode)) {
    // A device is written in place; anything else is refused by the open.
    file_ = openFileWithoutWaiting(target_, FileUse::WriteTruncate);
    return;
  }
  file_ = createTemporaryBeside(target_, temporary_);
  if (file_.isOpen() && exists) fchmod(file_.get(), info.st_mode & 07777);
}

FileReplacement::~FileReplacement() {
  if (!temporary_.empty()) unlink(temporary_.c_str());
}

bool FileReplacement::write(const char* data, size_t size) {
  if (failed_ || !file_.isOpen()) return false;
  failed_ = !writeAll(file_.get(), data, size);
  return !failed_;
}

bool FileReplacement::commit() {
  if (!file_.isOpen()) return false;
  const bool written = file_.close() && !failed_;
  if (temporary_.empty()) return written;
  if (!written || std::rename(temporary_.c_str(), target_.c_str()) != 0) return false;  // the destructor removes it
  temporary_.clear();
  return true;
}
