// apply_qubits STATE OP Q1 [Q2 ...]: a 2^k x 2^k operator on any k qubits of a
// register, in one pass by the kernel its structure calls for; the checks
// that keep it to a column of 2^n rows, an operator of side 2^k and k
// distinct qubits of the register.
#include "extensions/commands.h"
#include "interp/call.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "quantum/circuit.h"
#include "quantum/slice_kernels.h"
#include "runtime/break_flag.h"

namespace {

constexpr const char* kApplyQubitsHelp =
    "apply_qubits STATE OP Q1 [Q2 ...]: applies the 2^k x 2^k operator OP to the k qubits Q1 ... Qk of\n"
    "the state STATE (a column of 2^n rows) and gives the new state. Qubit j is bit j of the basis\n"
    "index (qubit 0 is the rightmost factor, as gate and measure_qbit count); Q1 is the most\n"
    "significant bit of OP's index. The qubits are distinct integers from 0 to n-1, in any order.\n"
    "Example: apply_qubits (get psi) (gate cnot 2 1 0) 0 5 flips qubit 5 where qubit 0 is 1.\n";

}  // namespace

namespace {

// The number of qubits of a register of [length] basis states, or -1 when
// [length] is not a power of two.
int32_t qubitCount(int32_t length) {
  for (int32_t n = 0; n < 31; ++n) {
    if (length == int32_t{1} << n) return n;
  }
  return -1;
}

}  // namespace

static void extensionApplyQubits(Call& call) {
  const Arg stateValue = call.argument(1);
  const Arg operatorValue = call.argument(2);
  std::vector<Object> qubitValues;
  for (size_t i = 3; i < call.tokenCount(); ++i) qubitValues.push_back(call.argument(i).take());
  // A column held split is read as this process's slice: a gate on the
  // qubits below the leading ones (the process number) acts on each slice
  // alone; one on a leading qubit swaps it with a local one first.
  const Matrix& state = stateValue->matrixSlice();
  const Matrix& op = operatorValue->getMatrix();
  std::vector<int32_t> qubits;
  for (const Object& value : qubitValues) qubits.push_back(value.getInteger());

  if (qubits.empty()) {
    call.syntaxError("; no qubit given");
    return;
  }
  const int32_t n = state.cols == 1 ? qubitCount(state.isSlice() ? state.wholeRows : state.rows) : -1;
  if (n < 0) {
    call.syntaxError("; state is not a column of 2^n rows");
    return;
  }
  const size_t k = qubits.size();
  if (k > 30 || op.rows != op.cols || op.rows != int32_t{1} << k) {
    call.syntaxError("; operator is not 2^k x 2^k for k qubits");
    return;
  }
  std::vector<bool> listed(static_cast<size_t>(n), false);
  for (int32_t q : qubits) {
    if (q < 0 || q >= n) {
      call.syntaxError("; qubit out of range");
      return;
    }
    if (listed[static_cast<size_t>(q)]) {
      call.syntaxError("; qubit repeated");
      return;
    }
    listed[static_cast<size_t>(q)] = true;
  }
  // The gate's qubits are moved to local ones in the same order (the gate
  // kernel's sums run in the order of its qubits' places, so the same order
  // gives the same bits): from the lowest up, each to the highest local
  // place below those the qubits above it take, by swapping the two qubits
  // (an exchange with a partner for a leading one, a pass over the slice
  // for two local ones); the gate is applied to the slices alone, and the
  // swaps undone. A gate on more qubits than a slice has is applied to the
  // state gathered whole (the same record) instead.
  int32_t localQubits = qubitCount(state.rows);
  std::vector<std::pair<int32_t, int32_t>> swaps;
  std::vector<int32_t> slots = qubits;
  const bool leadingTouched =
      state.isSlice() && std::any_of(qubits.begin(), qubits.end(), [&](int32_t q) { return q >= localQubits; });
  if (leadingTouched && static_cast<int32_t>(k) <= localQubits) {
    swaps = kernels::localPlacesInOrder(qubits, localQubits, slots);
  } else if (leadingTouched) {
    stateValue->getMatrix();
    localQubits = n;
  }
  Matrix transformed;
  transformed.setSizeForOverwrite(state.rows, 1);  // the pass writes every element
  transformed.wholeRows = state.wholeRows;
  transformed.firstRow = state.firstRow;
  if (swaps.empty()) {
    kernels::applyGates({kernels::CircuitGate{&op, qubits}}, localQubits, state.data.data(), transformed.data.data());
  } else {
    kernels::makeSliceSwaps(state, transformed, swaps);
    kernels::applyGates({kernels::CircuitGate{&op, slots}}, localQubits, transformed.data.data(),
                        transformed.data.data());
    kernels::undoSliceSwaps(transformed, swaps);
  }
  throwIfBreak();
  call.result.setMatrix(std::move(transformed));
}

constexpr KeywordRow kRows[] = {
    {.name = "apply_qubits", .aliases = "", .run = extensionApplyQubits, .args = {3, kAnyCount, "mmi"},
     .group = "extension commands", .usage = "apply_qubits STATE OP Q1 [Q2 ...]",
     .summary = "Applies the 2^k x 2^k operator OP to the qubits Q1 ... Qk of STATE; gives the new state.",
     .example = "apply_qubits (get psi) (gate cnot 2 1 0) 0 5",
     .printed = "",
     .help = kApplyQubitsHelp},
};

KeywordRows applyQubitsCommand() { return kRows; }
