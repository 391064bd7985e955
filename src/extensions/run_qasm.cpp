// run_qasm FILE [STATE]: an OpenQASM 2.0 program run whole on a register;
// the file rules, the checks of STATE and the classical registers written
// back as integer variables.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <optional>
#include <utility>

#include "extensions/commands.h"
#include "extensions/qasm_parser.h"
#include "extensions/qasm_runner.h"
#include "interp/call.h"
#include "runtime/file_access.h"
#include "runtime/process_group.h"
#include "value/split_column.h"

namespace {

constexpr const char* kRunQasmHelp =
    "run_qasm FILE [STATE]: runs the OpenQASM 2.0 program in the file FILE and gives the final state, a\n"
    "column of 2^n rows for the program's n qubits (its registers in declaration order; qubit j is bit j\n"
    "of the basis index). STATE, a column of 2^n rows, is the initial state; by default |0...0>.\n"
    "include \"qelib1.inc\" needs no file; other includes are read from the program's folder. measure\n"
    "and reset draw from the generator like measure_qbit (--seed repeats them); afterwards each\n"
    "classical register's value is written into the integer variable of its name, if there is one.\n"
    "The program is checked whole before it runs: a mistake is reported with its file, line and column,\n"
    "and nothing changes.\n"
    "Example: run_qasm bell.qasm\n";

// The largest program or include file read.
constexpr off_t kMaxQasmBytes = off_t{64} << 20;

// The text of [path] under the file rules of the other file keywords; false
// when it may not or cannot be read.
bool readProgramFile(const FileRules& rules, const std::string& path, std::string& text) {
  if (!rules.mayOpen(path)) return false;
  const FileDescriptor file = openFileWithoutWaiting(path, FileUse::ReadScript);
  if (!file.isOpen()) return false;
  struct stat info {};
  if (fstat(file.get(), &info) != 0 || info.st_size > kMaxQasmBytes) return false;
  text.clear();
  char buffer[1 << 16];
  for (;;) {
    const ssize_t got = read(file.get(), buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return false;
    if (got == 0) return true;
    text.append(buffer, static_cast<size_t>(got));
    if (text.size() > static_cast<size_t>(kMaxQasmBytes)) return false;
  }
}

// The most qubits a state within the element budget holds: per process for
// a column held split, up to the 2^30 rows of a register.
int32_t qubitBudget() {
  int32_t n = 0;
  while (n < 62 && fitsElementBudget(int64_t{2} << n, 1)) ++n;
  while (n < 30 && heldSplit(int64_t{2} << n, 1) && fitsElementBudget((int64_t{2} << n) / processCount(), 1)) ++n;
  return n;
}

}  // namespace

static void extensionRunQasm(Call& call) {
  const Arg fileValue = call.argument(1);
  const std::string& path = fileValue->getString();
  std::optional<Arg> stateValue;
  if (call.tokenCount() > 2) stateValue.emplace(call.argument(2));
  // A column held split is run slice by slice, never gathered.
  const Matrix* initial = stateValue ? &(*stateValue)->matrixSlice() : nullptr;

  const FileRules& rules = call.interp.files;
  std::string text;
  if (!readProgramFile(rules, path, text)) {
    reportCannotOpen(path);
    return;
  }
  QasmProgram program;
  try {
    QasmOptions options;
    options.maxQubits = qubitBudget();
#ifdef DOVEX_FUZZING
    options.maxOperations = size_t{1} << 12;
#endif
    program = parseQasm(
        path, text,
        [&rules](const std::string& include, std::string& out) { return readProgramFile(rules, include, out); },
        options);
  } catch (const QasmError& e) {
    call.syntaxError(std::string("; ") + e.what());
    return;
  }
  const int32_t rows = int32_t{1} << program.qubitCount;
  if (initial && (initial->cols != 1 || (initial->isSlice() ? initial->wholeRows : initial->rows) != rows)) {
    call.syntaxError("; state is not a column of " + std::to_string(rows) + " rows for the program's " +
                     std::to_string(program.qubitCount) + " qubits");
    return;
  }
  std::vector<int32_t> values;
  Matrix final = runQasmProgram(program, initial, values);
  for (size_t r = 0; r < values.size(); ++r) {
    Object stored;
    stored.setInteger(values[r]);
    call.targetScope.assignVariable(program.classicalRegisters[r].name, stored);
  }
  call.result.setMatrix(std::move(final));
}

constexpr KeywordRow kRows[] = {
    {.name = "run_qasm", .aliases = "", .run = extensionRunQasm, .args = {1, 2, "sm"},
     .group = "extension commands", .usage = "run_qasm FILE [STATE]",
     .summary = "Runs the OpenQASM 2.0 program FILE from STATE or |0...0>; gives the final state.",
     .example = "run_qasm examples/bell.qasm",
     .printed = "",
     .help = kRunQasmHelp},
};

KeywordRows runQasmCommand() { return kRows; }
