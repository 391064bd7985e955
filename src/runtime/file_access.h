// Every file the interpreter opens goes through here: `file` reading a
// script, `new_file`, `print_file` and the extension commands writing result
// files, the shell's history file. One safe open, one complete write.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

// How a file is used once open.
enum class FileUse {
  ReadScript,     // `file`: a regular file, read
  WriteTruncate,  // `new_file`: created or emptied
  WriteAppend,    // `print_file`: created, every write lands at the end
  PrivateRead,    // the history file: a regular file, never through a final symbolic link
  PrivateAppend,  // the same, created private to the user and appended to
};

// An open file descriptor, closed when the owner goes.
class FileDescriptor {
 public:
  explicit FileDescriptor(int fd = -1) : fd_(fd) {}
  ~FileDescriptor();
  FileDescriptor(FileDescriptor&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
  FileDescriptor& operator=(FileDescriptor&& other) noexcept;
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;

  bool isOpen() const { return fd_ >= 0; }
  int get() const { return fd_; }

 private:
  int fd_;
};

// Opens [path] for [use] without ever waiting: the open itself does not
// block (a FIFO without a partner would hold it for good), and the kind of
// file is checked on the open descriptor, so nothing can swap the path in
// between. Scripts and private files are read from regular files only;
// result files are regular files or character devices (/dev/null, a
// terminal). Anything else (FIFOs, sockets, directories), a path holding a
// NUL byte, or a failed open gives a closed descriptor. The descriptor that
// comes back blocks as usual.
FileDescriptor openFileWithoutWaiting(const std::string& path, FileUse use);

// In a distributed run: everything the first process reads from [fd] to its
// end, as a file in memory on every process (closed if that fails).
FileDescriptor shareWholeInput(int fd);

// Writes all [size] bytes at [data] to [fd]: retried after a signal and
// after a short write, so one call of write() carries the whole text when the
// system allows. False only when writing really fails (a full disk, a
// device error).
bool writeAll(int fd, const char* data, size_t size);

// Prints "Cannot open file '" + [path] + "'\n": the one report for a path
// that is missing, refused, a directory or otherwise unusable.
void reportCannotOpen(const std::string& path);
// Prints "Cannot write file '" + [path] + "'\n": text that did not reach a
// file that was open (a full disk).
void reportCannotWrite(const std::string& path);

// Where the file keywords of one interpreter may reach. Normally anywhere;
// a fuzzing harness confines them to one folder.
struct FileRules {
  // When non-empty, paths that do not resolve inside this folder cannot be
  // opened.
  std::string root;

  // Whether [path] may be opened at all. A name holding a NUL byte is
  // refused, since the C library would open the shorter name before it.
  bool mayOpen(const std::string& path) const;
  // Opens the result file [name] for [use] (emptied or appended to), as
  // new_file and print_file do: a path that may not or cannot be opened is
  // reported ("Cannot open file '…'") and yields a closed descriptor.
  FileDescriptor openResultFile(const std::string& name, FileUse use) const;
  // Replaces the result file [name] whole (replaceFileWhole), as plot_file
  // and save_npy do: a path that may not or cannot be opened is reported as
  // openResultFile reports it, a failed write as "Cannot write file '…'"
  // (the file is then as it was). Returns whether the file was replaced.
  bool replaceResultFile(const std::string& name, const std::function<bool(int fd)>& write) const;
};

// Writes [text] to the result file [name], open as [file], in one write,
// reporting "Cannot write file '…'" when it does not reach it. Returns
// whether it did.
bool writeResultFile(const FileDescriptor& file, const std::string& name, const std::string& text);

// How replaceFileWhole ended.
enum class FileReplaced {
  Done,         // the target now holds the new content
  CannotOpen,   // the target (or a temporary beside it) could not be created
  CannotWrite,  // writing failed; the target is as it was
};

// Writes a file whole, never in part: [write] fills a temporary file in the
// target's folder (it gets the descriptor and returns false when a write
// fails), and only a complete one is renamed over [path], so the target holds
// either its old content or the new one, whatever happens meanwhile (a full
// disk, a file-size limit, a [write] that throws, the process killed: only a
// kill leaves the hidden temporary behind). A path
// that names a symbolic link replaces the file the link points to; a
// character device (/dev/null) is written directly; other kinds of file are
// refused as openFileWithoutWaiting refuses them.
FileReplaced replaceFileWhole(const std::string& path, const std::function<bool(int fd)>& write);

// A file that was just written whole (a plot, a saved state): where, what
// kind of content (a media type such as "image/svg+xml"), and the content
// itself when the writer had it at hand (empty otherwise).
struct WrittenFile {
  const std::string& path;
  const char* mediaType;
  std::string_view content;
};
// Who hears of written files (the notebook kernel); nullptr: nobody.
using FileWrittenHook = void (*)(const WrittenFile& file);
// Installs [hook] (nullptr removes it); returns the previous one.
FileWrittenHook setFileWrittenHook(FileWrittenHook hook);
// Tells the installed hook, if any, that [file] was written.
void noteFileWritten(const WrittenFile& file);
