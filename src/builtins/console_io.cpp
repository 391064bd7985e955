// Console output, user input and result files.
#include <optional>
#include <ostream>
#include <streambuf>

#include "builtins/keyword_tables.h"
#include "interp/call.h"
#include "runtime/file_access.h"
#include "runtime/process_group.h"
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
    return agreedFromLead(ok_);
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

static void builtinPrint(Call& call) {
  const Arg value = call.argument(1);
  printValue(*value, call.out(), true, false);
  call.out() << "\n";
}

static void builtinPrintNewLine(Call& call) { call.out() << "\n"; }

static void builtinPrintOneLine(Call& call) {
  const Arg value = call.argument(1);
  printValue(*value, call.out(), false, false);
}

static void builtinUserInput(Call& call) {
  const std::string kind = call.argument(1)->getString();
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

static void builtinNewFile(Call& call) {
  const std::string name = call.argument(1)->getString();
  call.interp.files.openResultFile(name, FileUse::WriteTruncate);
}

static void builtinPrintFile(Call& call) {
  const std::string name = call.argument(1)->getString();
  const FileDescriptor file = call.interp.files.openResultFile(name, FileUse::WriteAppend);
  if (!file.isOpen()) return;
  ResultRow row(file.get());
  std::ostream text(&row);
  text.exceptions(std::ios::badbit);  // running out of memory is reported, not swallowed
  try {
    for (size_t i = 2; i < call.tokenCount(); ++i) {
      const Arg value = call.argument(i);
      printValue(*value, text, false, true);
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

// Console output, user input and result files, one row each.
constexpr KeywordRow kRows[] = {
    {.name = "print", .aliases = "", .run = builtinPrint, .args = {1, 1, "x"},
     .group = "console and files", .usage = "print X",
     .summary = "Prints X with its type and name, as the echo does. Gives no value.",
     .example = "print (div_d 1 3)",
     .printed = "double temp = 0.333333\nNULL\n"},
    {.name = "print_one_line", .aliases = "", .run = builtinPrintOneLine, .args = {1, 1, "x"},
     .group = "console and files", .usage = "print_one_line X",
     .summary = "Prints the value of X alone, without a line break. Gives no value.",
     .example = "begin (print_one_line 5) (print_one_line 6) (print_new_line 0)",
     .printed = "56\nNULL\n"},
    {.name = "print_new_line", .aliases = "", .run = builtinPrintNewLine, .args = {0, 1, "-"},
     .group = "console and files", .usage = "print_new_line X",
     .summary = "Prints a line break; the argument is ignored. Gives no value.",
     .example = "print_new_line 0",
     .printed = "\nNULL\n"},
    {.name = "user.input", .aliases = "", .run = builtinUserInput, .args = {1, 1, "s"},
     .group = "console and files", .usage = "user.input KIND",
     .summary = "Reads a line from the console: with KIND integer gives the integer it starts with; any other KIND waits for Enter and gives no value.",
     .example = "user.input integer",
     .printed = "Please enter an integer: \n"},
    {.name = "new_file", .aliases = "", .run = builtinNewFile, .args = {1, 1, "s"},
     .group = "console and files", .usage = "new_file NAME",
     .summary = "Creates the file NAME empty, or empties it. Gives no value.",
     .example = "new_file table.csv",
     .printed = "NULL\n"},
    {.name = "print_file", .aliases = "", .run = builtinPrintFile, .args = {1, kAnyCount, "sx"},
     .group = "console and files", .usage = "print_file NAME V1 V2 ...",
     .summary = "Appends one line to the file NAME: each value followed by a comma. Gives no value.",
     .example = "print_file table.csv 1 2.5",
     .printed = "NULL\n"},
};

KeywordRows consoleKeywords() { return kRows; }
