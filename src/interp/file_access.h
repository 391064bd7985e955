// The one gate every file keyword passes before it opens a path: `file`
// reading a script, `new_file` and `print_file` writing a result file; and
// the writer of files that are replaced whole (`plot_file`).
#pragma once

#include <cstddef>
#include <string>

#include "interp/interpreter.h"

// Whether [path] may be opened at all. A name holding a NUL byte is refused,
// since the C library would open the shorter name before it; when
// [interp].fileRoot is set, so is every path that does not resolve inside it.
bool mayOpenPath(const Interpreter& interp, const std::string& path);

// Prints "Cannot open file '" + [path] + "'\n": the one report for a path
// that is missing, refused, a directory or otherwise unusable.
void reportCannotOpen(const std::string& path);

// How a file keyword uses the file it opens.
enum class FileUse {
  ReadScript,     // `file`: a regular file, read
  WriteTruncate,  // `new_file`: created or emptied
  WriteAppend,    // `print_file`: created, every write lands at the end
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
  // Closes the descriptor now; false when the system reports that data
  // written through it was lost (a full disk found at the last moment).
  bool close();

 private:
  int fd_;
};

// Opens [path] for [use] without ever waiting: the open itself does not
// block (a FIFO without a partner would hold it for good), and the kind of
// file is checked on the open descriptor, so nothing can swap the path in
// between. Scripts are read from regular files only; result files are
// regular files or character devices (/dev/null, a terminal). Anything else
// (FIFOs, sockets, directories) gives a closed descriptor, as does a failed
// open. The descriptor that comes back blocks as usual.
FileDescriptor openFileWithoutWaiting(const std::string& path, FileUse use);

// Writes all [size] bytes at [data] to [fd]: retried after a signal and
// after a short write, so one call of write() carries the whole text when the
// system allows. False only when writing really fails (a full disk, a
// device error).
bool writeAll(int fd, const char* data, size_t size);

// A file that is replaced whole or not at all. Its text goes to a fresh
// temporary file in the same folder, which is renamed over the file only by
// commit(), once all of it is written: whatever happens before (a failed
// write, a full disk, a file-size limit, the process killed), the file holds
// either its old content or the new one, never a part. The temporary is
// removed when the replacement is abandoned or fails (a killed process
// leaves it behind: a hidden file named after the target). The replacement
// keeps the permission bits of the file it replaces; a symbolic link is
// followed, so the file it leads to is replaced and the link stays. A
// character device (/dev/null, a terminal) holds nothing to lose and is
// written in place; other kinds of file (folders, FIFOs) cannot be opened.
class FileReplacement {
 public:
  // Opens the temporary (or the device) for [path]; check isOpen().
  explicit FileReplacement(const std::string& path);
  // Removes the temporary unless commit() has put it in place.
  ~FileReplacement();
  FileReplacement(const FileReplacement&) = delete;
  FileReplacement& operator=(const FileReplacement&) = delete;

  // False when nothing could be opened (a missing or unwritable folder, a
  // folder or FIFO at [path]): the file is untouched.
  bool isOpen() const { return file_.isOpen(); }
  // Appends [size] bytes at [data] to the new content; false (and every
  // later call false) once a write fails.
  bool write(const char* data, size_t size);
  // Puts the new content in place of the file. False when any write failed
  // or the rename did: the old file is then untouched and the temporary gone.
  bool commit();

 private:
  std::string target_;     // the file replaced (symbolic links followed)
  std::string temporary_;  // the new content until commit(); empty when writing in place
  FileDescriptor file_;
  bool failed_ = false;
};
