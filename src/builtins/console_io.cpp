// Console output, user input and result files.
#include <fstream>
#include <optional>

#include "builtins/builtins.h"
#include "interp/file_access.h"
#include "value/number_text.h"
#include "value/printer.h"

namespace {

// `user.input` accepts at most this many characters of a line.
constexpr size_t kMaxInputChars = 99;

}  // namespace

std::ofstream openResultFile(const Call& call, const std::string& name, std::ios::openmode mode) {
  std::ofstream file;
  if (mayOpenPath(call.interp, name)) file.open(name, std::ios::out | mode);
  if (!file.is_open()) reportCannotOpen(name);
  return file;
}

void closeResultFile(std::ofstream& file, const std::string& name) {
  file.close();
  // A full disk would otherwise lose the text without a word.
  if (file.fail()) diagnostic() << "Cannot write file '" << name << "'\n";
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
  openResultFile(call, name, std::ios::trunc);
}

void builtinPrintFile(Call& call) {
  const std::string name = call.arg(1).getString();
  // Closed by its destructor on every way out, so the values written before
  // an error in a later argument stay in the file.
  std::ofstream file = openResultFile(call, name, std::ios::app);
  if (!file.is_open()) return;
  for (size_t i = 2; i < call.tokenCount(); ++i) {
    const Object value = call.arg(i);
    printValue(value, file, false, true);
    file << ',';
  }
  file << '\n';
  closeResultFile(file, name);
}
