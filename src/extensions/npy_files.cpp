// save_npy FILE MATRIX and load_npy FILE: matrices to and from numpy's .npy
// files, through the safe file rules of the other file keywords. A file is
// replaced whole or not at all, and a file that is not read creates nothing.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "extensions/commands.h"
#include "interp/call.h"
#include "runtime/break_flag.h"
#include "runtime/file_access.h"
#include "value/npy_format.h"
#include "value/split_column.h"

namespace {

// Elements converted and written or read per step (the break flag is
// polled between steps).
constexpr size_t kStepElements = size_t{1} << 16;
// The longest header read: numpy writes a few hundred bytes at most.
constexpr size_t kMaxHeaderBytes = size_t{1} << 20;

// Reads exactly [n] bytes into [p]; false at a read error or the end of the file.
bool readExactly(int fd, char* p, size_t n) {
  while (n > 0) {
    const ssize_t got = read(fd, p, n);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    p += got;
    n -= static_cast<size_t>(got);
  }
  return true;
}

void reportNotRead(const Call& call, const std::string& name, const std::string& why) {
  call.report() << "Cannot read file '" << name << "': " << why << "\n";
}

// Reads the matrix of the open file [fd] of [size] bytes into [m]; false,
// with the reason in [why], when it is not read.
bool readNpy(int fd, uint64_t size, Matrix& m, std::string& why) {
  std::string head(static_cast<size_t>(std::min<uint64_t>(size, kNpyPreambleBytes)), '\0');
  if (!readExactly(fd, head.data(), head.size())) {
    why = "the file could not be read";
    return false;
  }
  const size_t offset = npyDataOffset(head, why);
  if (offset == 0) return false;
  if (offset > kMaxHeaderBytes) {
    why = "the header is too long";
    return false;
  }
  if (offset > size) {
    why = "truncated: the header is cut short";
    return false;
  }
  const size_t already = head.size();
  head.resize(offset);
  if (offset > already && !readExactly(fd, head.data() + already, offset - already)) {
    why = "the file could not be read";
    return false;
  }
  NpyLayout layout;
  if (!parseNpyHeader(head, layout, why) || !checkNpyDataLength(layout, size - offset, why)) return false;
  Matrix read;
  if (layout.count() > 0) read.setSizeForOverwrite(layout.rows, layout.cols);
  std::string bytes;
  BreakPoll poll;
  for (size_t first = 0; first < layout.count(); first += kStepElements) {
    poll.throwAfter(kStepElements);
    const size_t count = std::min(kStepElements, layout.count() - first);
    bytes.resize(count * layout.itemBytes);
    if (!readExactly(fd, bytes.data(), bytes.size())) {
      why = "truncated: the data is cut short";
      return false;
    }
    decodeNpyElements(layout, bytes.data(), first, count, read);
  }
  m = std::move(read);
  return true;
}

constexpr const char* kSaveNpyHelp =
    "save_npy FILE MATRIX\n"
    "  Writes MATRIX to the file FILE in numpy's .npy format (version 1.0):\n"
    "  complex128 elements in the matrix's shape, so numpy.load(FILE) gives the\n"
    "  same matrix to the last bit. The file is replaced whole: until the new one\n"
    "  is complete the old one stays. The result is left as it was.\n"
    "  Example: save_npy psi.npy (get psi)\n";

constexpr const char* kLoadNpyHelp =
    "load_npy FILE\n"
    "  Gives the matrix the .npy file FILE holds: complex128, complex64, float64,\n"
    "  float32 or integer elements, one dimension (a column) or two, in either\n"
    "  order and byte order. Any other file (object arrays, structured types,\n"
    "  more dimensions, a truncated file, more elements than a matrix may hold)\n"
    "  is refused with the reason, and the result is left as it was.\n"
    "  Example: set psi (load_npy psi.npy)\n";

}  // namespace

static void extensionSaveNpy(Call& call) {
  const Arg nameValue = call.argument(1);
  const Arg value = call.argument(2);
  const std::string& name = nameValue->getString();
  const Matrix& slice = value->matrixSlice();
  if (slice.isSlice()) {
    // Every slice streamed to process 0 in row order, the file written there
    // as it comes; a failed write stops the writing, not the stream.
    const bool saved = call.interp.files.replaceResultFile(name, [&](int fd) {
      const std::string header = npyHeader(slice.wholeRows, 1);
      bool written = writeAll(fd, header.data(), header.size());
      std::string bytes;
      streamSlicesToLead(slice, kStepElements, [&](const Complex* rows, size_t count) {
        bytes.clear();
        appendNpyElements(rows, count, bytes);
        written = written && writeAll(fd, bytes.data(), bytes.size());
      });
      return written;
    });
    if (saved) noteFileWritten({name, "application/x-npy", {}});
    return;
  }
  const Matrix& m = value->getMatrix();
  BreakPoll poll;
  const bool saved = call.interp.files.replaceResultFile(name, [&](int fd) {
    std::string bytes = npyHeader(m);
    for (size_t first = 0;; first += kStepElements) {
      if (!writeAll(fd, bytes.data(), bytes.size())) return false;
      if (first >= m.data.size()) return true;
      poll.throwAfter(kStepElements);  // a break leaves the old file
      bytes.clear();
      appendNpyData(m, first, std::min(kStepElements, m.data.size() - first), bytes);
    }
  });
  if (saved) noteFileWritten({name, "application/x-npy", {}});
}

static void extensionLoadNpy(Call& call) {
  const std::string name = call.argument(1)->getString();
  FileDescriptor file;
  // A regular file, read: the rules `file` opens scripts by.
  if (call.interp.files.mayOpen(name)) file = openFileWithoutWaiting(name, FileUse::ReadScript);
  struct stat info {};
  if (!file.isOpen() || fstat(file.get(), &info) != 0) {
    reportCannotOpen(name);
    return;
  }
  Matrix m;
  std::string why;
  if (!readNpy(file.get(), static_cast<uint64_t>(info.st_size), m, why)) {
    reportNotRead(call, name, why);
    return;
  }
  call.result.setMatrix(std::move(m));
}

constexpr KeywordRow kRows[] = {
    {.name = "save_npy", .aliases = "", .run = extensionSaveNpy, .args = {2, 2, "sm"},
     .group = "extension commands", .usage = "save_npy FILE MATRIX",
     .summary = "Writes MATRIX to FILE in numpy's .npy format, replacing the file whole.",
     .example = "save_npy psi.npy (get psi)",
     .printed = "",
     .help = kSaveNpyHelp},
    {.name = "load_npy", .aliases = "", .run = extensionLoadNpy, .args = {1, 1, "s"},
     .group = "extension commands", .usage = "load_npy FILE",
     .summary = "Gives the matrix a numpy .npy file holds.",
     .example = "set psi (load_npy psi.npy)",
     .printed = "",
     .help = kLoadNpyHelp},
};

KeywordRows npyFileCommands() { return kRows; }
