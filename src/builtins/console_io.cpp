// Console output, user input and result files.
#include <optional>
#include <ostream>
#include <streambuf>

#include "builtins/builtins.h"
#include "interp/file_access.h"
#include "value/number_text.h"
#include "value/printer.h"

namespace {

// `user.input` accepts at most this many characters of a line.
constexpr size_t kMaxInputChars = 99;

// The longest row that goes out in one write. Appends of one write() never
// interleave with other writers' appends, so rows up to this size from
// concurrent interpreters stay whole; a longer row is written piece by piece
// as it grows, which keeps memory bounded but is no longer atomic.
constexpr size_t kAtomicRowBytes = size_t{64} << 20;

// Collects one row of a result file and appends it with a single write.
class ResultRow : public std::streambuf {
 public:
  explicit ResultRow(int fd) : fd_(fd) {}
  // Writes what has been collected; false when some write failed.
  bool finish() {
    spill();
    return ok_;
  }

 protected:
  int_type overflow(int_type c) override {
    if (!traits_type::eq_int_type(c, traits_type::eof())) {
      text_ += traits_type::to_char_type(c);
      if (text_.size() > kAtomicRowBytes) spill();
    }
    return traits_type::not_eof(c);
  }
  std::streamsize xsputn(const char* s, std::streamsize n) override {
    text_.append(s, static_cast<size_t>(n));
    if (text_.size() > kAtomicRowBytes) spill();
    return n;
  }

 private:
  void spill() {
    if (ok_ && !text_.empty()) ok_ = writeAll(fd_, text_.data(), text_.size());
    text_.clear();
  }

  int fd_;
  std::string text_;
  bool ok_ = true;
};

}  // namespace

FileDescriptor openResultFile(const Call& call, const std::string& name, FileUse use) {
  FileDescriptor file;
  if (mayOpenPath(call.interp, name)) file = openFileWithoutWaiting(name, use);
  if (!file.isOpen()) reportCannotOpen(name);
  return file;
}

bool writeResultFile(const FileDescriptor& file, const std::string& name, const std::string& text) {
  // A full disk would otherwise lose the text without a word.
  if (writeAll(file.get(), text.data(), text.size())) return true;
  reportCannotWrite(name);
  return false;
}

void builtinPrint(Call& call) {
  const Object value = call.arg(1);
  printValue(value, call.out(), true, false);
  call.out() << "\n";
}

void builtinPrintNewLine(Call& call) { call.out() << "\n"; }

void builtinPrintOneLine(Call& call) {
  const Object value = call.arg(1);
  printValue(value, call.out(), false, false);
}

void builtinUserInput(Call& call) {
  const std::string kind = call.arg(1).getString();
  const bool wantsInteger = kind == "integer";
  const std::string prompt = wantsInteger ? "Please enter an integer: " : "user.input: ";
  // The console shows the prompt itself, so a line editor can redraw it.
  // End of input reads as an empty line; the shell ends at its next prompt.
  std::optional<std::string> line;
  if (ConsoleInput* input = call.interp.input()) {
    line = input->readLine(prompt, kMaxInputChars);
  } else {
    call.out() << prompt;
  }
  std::string text = line.value_or(std::string());
  if (text.size() > kMaxInputChars) text.resize(kMaxInputChars);
  call.out() << "\n";
  if (wantsInteger) call.result.setInteger(textToInteger(text));
}

void builtinNewFile(Call& call) {
  const std::string name = call.arg(1).getString();
  openResultFile(call, name, FileUse::WriteTruncate);
}

void builtinPrintFile(Call& call) {
  const std::string name = call.arg(1).getString();
  const FileDescriptor file = openResultFile(call, name, FileUse::WriteAppend);
  if (!file.isOpen()) return;
  ResultRow row(file.get());
  std::ostream text(&row);
  text.exceptions(std::ios::badbit);  // running out of memory is reported, not swallowed
  try {
    for (size_t i = 2; i < call.tokenCount(); ++i) {
      const Object value = call.arg(i);
      printValue(value, text, false, true);
      text << ',';
    }
  } catch (...) {
    // The values collected before the error still reach the file, without
    // the row's line end.
    row.finish();
    throw;
  }
  text << '\n';
  if (!row.finish()) reportCannotWrite(name);
}
