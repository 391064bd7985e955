#include "runtime/file_access.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "runtime/diagnostics.h"
#include "runtime/process_group.h"

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
    case FileUse::PrivateRead:
      return O_RDONLY | O_NOFOLLOW | common;
    case FileUse::PrivateAppend:
      return O_WRONLY | O_CREAT | O_APPEND | O_NOFOLLOW | common;
  }
  return O_RDONLY | common;
}

bool privateFile(FileUse use) { return use == FileUse::PrivateRead || use == FileUse::PrivateAppend; }
// Who hears of files written whole.
FileWrittenHook fileWrittenHook = nullptr;

// The longest part of a file name kept in the name of its temporary, so the
// temporary's name stays within the file system's limit.
constexpr size_t kTempBaseChars = 200;

bool usableKind(mode_t mode, FileUse use) {
  if (S_ISREG(mode)) return true;
  return (use == FileUse::WriteTruncate || use == FileUse::WriteAppend) && S_ISCHR(mode);
}

}  // namespace

bool FileRules::mayOpen(const std::string& path) const {
  if (path.find('\0') != std::string::npos) return false;
  return root.empty() || resolvesInside(root, path);
}

FileDescriptor FileRules::openResultFile(const std::string& name, FileUse use) const {
  FileDescriptor file;
  if (mayOpen(name)) file = openFileWithoutWaiting(name, use);
  if (!file.isOpen()) reportCannotOpen(name);
  return file;
}

bool FileRules::replaceResultFile(const std::string& name, const std::function<bool(int fd)>& write) const {
  const FileReplaced outcome = mayOpen(name) ? replaceFileWhole(name, write) : FileReplaced::CannotOpen;
  if (outcome == FileReplaced::CannotOpen) reportCannotOpen(name);
  if (outcome == FileReplaced::CannotWrite) reportCannotWrite(name);
  return outcome == FileReplaced::Done;
}

void reportCannotOpen(const std::string& path) { diagnostic() << "Cannot open file '" << path << "'\n"; }

void reportCannotWrite(const std::string& path) { diagnostic() << "Cannot write file '" << path << "'\n"; }

bool writeResultFile(const FileDescriptor& file, const std::string& name, const std::string& text) {
  // A full disk would otherwise lose the text without a word.
  if (agreedFromLead(writeAll(file.get(), text.data(), text.size()))) return true;
  reportCannotWrite(name);
  return false;
}

FileDescriptor::~FileDescriptor() {
  if (fd_ >= 0) close(fd_);
}

FileDescriptor& FileDescriptor::operator=(FileDescriptor&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) close(fd_);
    fd_ = other.fd_;
    other.fd_ = -1;
  }
  return *this;
}

namespace {

FileDescriptor openHere(const std::string& path, FileUse use) {
  if (path.find('\0') != std::string::npos) return FileDescriptor();
  int fd;
  do {
    fd = open(path.c_str(), openFlags(use), privateFile(use) ? 0600 : 0666);
  } while (fd < 0 && errno == EINTR);
  FileDescriptor file(fd);
  if (!file.isOpen()) return file;
  struct stat info {};
  if (fstat(fd, &info) != 0 || !usableKind(info.st_mode, use)) return FileDescriptor();
  const int flags = fcntl(fd, F_GETFL);
  if (flags < 0 || fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) return FileDescriptor();
  return file;
}

// The most a process other than the first takes over of a file the first
// one read: more than any script or state a process may hold.
constexpr uint64_t kMaxSharedFileBytes = uint64_t{5} << 30;

bool readWhole(int fd, std::string& bytes) {
  char buffer[1 << 16];
  for (;;) {
    const ssize_t got = read(fd, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return false;
    if (got == 0) return true;
    bytes.append(buffer, static_cast<size_t>(got));
    if (bytes.size() > kMaxSharedFileBytes) return true;
  }
}

// A descriptor of a regular file in memory holding [bytes], read from its start.
FileDescriptor memoryFile(const std::string& bytes) {
  FileDescriptor file(memfd_create("dovex-shared", MFD_CLOEXEC));
  if (!file.isOpen() || !writeAll(file.get(), bytes.data(), bytes.size()) || lseek(file.get(), 0, SEEK_SET) != 0) {
    return FileDescriptor();
  }
  return file;
}

}  // namespace

// In a distributed run a file is opened by the first process alone. What it
// read reaches every process as a file in memory, so all read the same bytes
// however the file changes meanwhile; a file it writes is /dev/null to the
// others, so only one copy of the text lands.
FileDescriptor openFileWithoutWaiting(const std::string& path, FileUse use) {
  if (!processGroup()) return openHere(path, use);
  const bool reads = use == FileUse::ReadScript || use == FileUse::PrivateRead;
  FileDescriptor file;
  std::string bytes;
  bool opened = false;
  if (leadsInputOutput()) {
    file = openHere(path, use);
    opened = file.isOpen() && (!reads || readWhole(file.get(), bytes));
  }
  if (!agreedFromLead(opened)) return FileDescriptor();
  if (reads) {
    shareFromLead(bytes);
    return memoryFile(bytes);
  }
  return leadsInputOutput() ? std::move(file) : openHere("/dev/null", use);
}

FileDescriptor shareWholeInput(int fd) {
  std::string bytes;
  if (!agreedFromLead(!leadsInputOutput() || readWhole(fd, bytes))) return FileDescriptor();
  shareFromLead(bytes);
  return memoryFile(bytes);
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

namespace {
FileReplaced replaceHere(const std::string& path, const std::function<bool(int fd)>& write);
}  // namespace

FileReplaced replaceFileWhole(const std::string& path, const std::function<bool(int fd)>& write) {
  if (!processGroup()) return replaceHere(path, write);
  // The writer runs once on every process: the others write into
  // /dev/null, and so does the first when it cannot open the file. So a
  // writer that polls for a break sees it at the same place everywhere, and
  // one that hands data between processes leaves none waiting. All take the
  // first one's outcome.
  FileReplaced outcome = FileReplaced::CannotOpen;
  bool written = false;
  if (leadsInputOutput()) {
    outcome = replaceHere(path, [&](int fd) {
      written = true;
      return write(fd);
    });
  }
  if (!written) {
    const FileDescriptor nowhere = openHere("/dev/null", FileUse::WriteTruncate);
    if (nowhere.isOpen()) write(nowhere.get());
  }
  return static_cast<FileReplaced>(agreedFromLead(static_cast<uint64_t>(outcome)));
}

namespace {

FileReplaced replaceHere(const std::string& path, const std::function<bool(int fd)>& write) {
  if (path.empty() || path.find('\0') != std::string::npos) return FileReplaced::CannotOpen;
  // Through a symbolic link, the file it points to is replaced, not the link.
  std::string target = path;
  struct stat info {};
  if (lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode)) {
    char* real = realpath(path.c_str(), nullptr);
    if (!real) return FileReplaced::CannotOpen;  // a dangling link
    target = real;
    std::free(real);
  }
  const bool exists = stat(target.c_str(), &info) == 0;
  if (exists && S_ISCHR(info.st_mode)) {
    const FileDescriptor device = openHere(target, FileUse::WriteTruncate);
    if (!device.isOpen()) return FileReplaced::CannotOpen;
    return write(device.get()) ? FileReplaced::Done : FileReplaced::CannotWrite;
  }
  if (exists && !S_ISREG(info.st_mode)) return FileReplaced::CannotOpen;
  const size_t slash = target.rfind('/');
  const std::string folder = slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
  const std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
  if (base.empty()) return FileReplaced::CannotOpen;
  std::string temp = folder + "." + base.substr(0, kTempBaseChars) + ".XXXXXX";
  const int fd = mkostemp(temp.data(), O_CLOEXEC);
  if (fd < 0) return FileReplaced::CannotOpen;
  // Removes the temporary unless it became the target (a write that throws
  // included).
  struct TemporaryGuard {
    const std::string& path;
    bool kept = false;
    ~TemporaryGuard() {
      if (!kept) unlink(path.c_str());
    }
  } guard{temp};
  bool ok;
  {
    const FileDescriptor file(fd);
    // The new file gets the old one's permissions, or those a newly created
    // file would have (the temporary starts private to its owner).
    mode_t mode = info.st_mode & 07777;
    if (!exists) {
      const mode_t mask = umask(0);
      umask(mask);
      mode = 0666 & ~mask;
    }
    // The data reaches the disk before the rename makes it the target's.
    ok = fchmod(fd, mode) == 0 && write(fd) && fsync(fd) == 0;
  }
  if (!ok || rename(temp.c_str(), target.c_str()) != 0) return FileReplaced::CannotWrite;
  guard.kept = true;
  return FileReplaced::Done;
}

}  // namespace

FileWrittenHook setFileWrittenHook(FileWrittenHook hook) {
  const FileWrittenHook previous = fileWrittenHook;
  fileWrittenHook = hook;
  return previous;
}

void noteFileWritten(const WrittenFile& file) {
  if (fileWrittenHook) fileWrittenHook(file);
}
