// OpenQASM 2.0 read into a flat list of operations, checked completely
// before anything runs: registers, user gates with parameters and nested
// calls, parameter expressions, broadcasting over registers, measure, reset,
// barrier, if and opaque. Gates of the standard header become single
// operations with their exact matrices (qasm_gates.h); user gates are
// expanded into their bodies, in program order.
//
// Qubit j of the program (its quantum registers concatenated in declaration
// order) is bit j of the state's basis index; classical bits are numbered
// the same way.
#pragma once

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "value/matrix.h"

// A mistake in a program: "FILE:LINE:COLUMN: reason".
class QasmError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A quantum or classical register: its bits are [offset, offset + size).
struct QasmRegister {
  std::string name;
  int32_t offset = 0;
  int32_t size = 0;
};

// One operation of the flattened program.
struct QasmOperation {
  enum class Kind { Gate, Measure, Reset };
  Kind kind = Kind::Gate;
  // Gate: its qubits, the first for the most significant bit of the
  // matrix's index; Measure and Reset: the one qubit.
  std::vector<int32_t> qubits;
  int32_t matrix = -1;  // Gate: the index into QasmProgram::matrices
  int32_t bit = -1;     // Measure: the classical bit written
  // if (creg == value): the classical register, or -1 for none.
  int32_t conditionRegister = -1;
  int64_t conditionValue = 0;
  // The operation comes from the same `if` statement as the one before it,
  // whose condition was tested once for the whole statement.
  bool sameCondition = false;
};

// A program ready to run.
struct QasmProgram {
  int32_t qubitCount = 0;
  std::vector<QasmRegister> quantumRegisters;
  std::vector<QasmRegister> classicalRegisters;
  int32_t bitCount = 0;
  std::vector<Matrix> matrices;  // each distinct gate matrix once
  std::vector<QasmOperation> operations;
};

// Reads the file [path] (as an include names it, joined to the including
// file's folder) into [text]; false when it cannot be read.
using QasmFileReader = std::function<bool(const std::string& path, std::string& text)>;

// Limits and choices of the reader.
struct QasmOptions {
  // The most qubits a program may declare in all.
  int32_t maxQubits = 27;
  // The most operations the expanded program may hold.
  size_t maxOperations = size_t{1} << 22;
  // Expand the standard header's gates into their bodies, as a user's
  // gates are, instead of applying their exact matrices (for tests).
  bool literalHeader = false;
};

// Parses and checks the program [text] read from the file [name]; includes
// other than the standard header come through [read]. Throws QasmError.
QasmProgram parseQasm(const std::string& name, const std::string& text, const QasmFileReader& read,
                      const QasmOptions& options = {});
