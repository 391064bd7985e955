#include "extensions/qasm_runner.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <functional>

#include "extensions/qasm_gates.h"
#include "quantum/qubit_kernels.h"
#include "quantum/slice_kernels.h"
#include "quantum/split_layout.h"
#include "runtime/break_flag.h"
#include "runtime/process_group.h"
#include "runtime/random_draws.h"
#include "value/split_column.h"

namespace {

// How many operations ahead a swap looks for the local qubit needed last.
constexpr size_t kLookahead = 1024;

// The state being run: its amplitudes live in [state] once the first
// operation has written them; until then they are read from [initial]. A
// column held split is run slice by slice: the gates of a run whose qubits
// all sit at local positions go through the blocked passes on each slice,
// and a gate on a leading qubit first swaps it to a local position
// (SplitLayout); every qubit goes home before a measurement and at the end.
class RunningState {
 public:
  RunningState(int32_t qubits, const Matrix* initial, const kernels::BlockShape& shape)
      : initial_(initial), shape_(shape), layout_(qubits, qubits) {
    const int32_t rows = int32_t{1} << qubits;
    split_ = initial_ ? initial_->isSlice() || heldSplit(initial_->rows, 1) : heldSplit(rows, 1);
    if (split_) {
      const int32_t sliceRows = rows / static_cast<int32_t>(processCount());
      if (initial_ && !initial_->isSlice()) {
        // A column gathered whole by an earlier reader: this process's rows.
        owned_ = sliceOf(*initial_, sliceRows);
        initial_ = &owned_;
      }
      local_ = std::countr_zero(static_cast<uint32_t>(sliceRows));
      layout_ = kernels::SplitLayout(qubits, local_);
    } else {
      local_ = qubits;
    }
    if (!initial_) {
      state_.setSize(split_ ? rows / static_cast<int32_t>(processCount()) : rows, 1);
      if (split_) markSlice(state_, rows);
      if (state_.firstRow == 0) state_.data[0] = Complex{1.0, 0.0};
    }
  }

  // Applies the gates collected so far.
  void flush() {
    if (pending_.empty()) return;
    kernels::applyGates(pending_, local_, source().data.data(), target().data.data(), shape_);
    throwIfBreak();
    initial_ = nullptr;
    pending_.clear();
  }

  // Adds a gate on [qubits]; [laterUse] ranks how soon each qubit is needed
  // again (larger: later).
  void addGate(const Matrix& matrix, const std::vector<int32_t>& qubits,
               const std::function<uint64_t(int32_t)>& laterUse) {
    if (!split_) {
      pending_.push_back(kernels::CircuitGate{&matrix, qubits});
      return;
    }
    if (!layout_.allLocal(qubits)) {
      flush();
      // The amplitudes still in [initial] are read by the first swap.
      const Matrix* from = initial_;
      if (!layout_.bringLocal(target(), qubits, laterUse, from)) {
        materialise();
        gateOnWholeColumn(matrix, qubits);
        return;
      }
      throwIfBreak();  // a break stopped a swap part-way
      initial_ = nullptr;
    }
    pending_.push_back(kernels::CircuitGate{&matrix, layout_.positions(qubits)});
  }

  // measure_qbit on [qubit]: one draw, then the collapse and renormalisation.
  int32_t measure(int32_t qubit) {
    flush();
    if (split_) layout_.restore(state_);
    const double p0 = split_ ? kernels::sliceQubitZeroProbability(source(), qubit)
                             : kernels::qubitZeroProbability(source(), qubit);
    throwIfBreak();
    const double draw = drawOnGrid();
    const int32_t outcome = draw < p0 ? 0 : 1;
    const double factor = outcome == 0 ? 1.0 / std::sqrt(p0) : 1.0 / std::sqrt(1.0 - p0);
    if (split_) {
      kernels::collapseSliceQubit(source(), qubit, outcome, factor, target());
    } else {
      kernels::collapseQubit(source(), qubit, outcome, factor, target());
    }
    throwIfBreak();
    initial_ = nullptr;
    return outcome;
  }

  Matrix finish() {
    flush();
    if (split_) layout_.restore(state_);
    materialise();
    return std::move(state_);
  }

 private:
  const Matrix& source() const { return initial_ ? *initial_ : state_; }
  Matrix& target() {
    if (initial_ && !state_.hasStorage()) {
      state_.setSizeForOverwrite(initial_->rows, 1);
      if (split_) markSlice(state_, initial_->wholeRows);
    }
    return state_;
  }

  // The amplitudes copied into [state] if they are still read from [initial].
  void materialise() {
    if (!initial_) return;
    if (split_) {
      state_ = sliceOf(*initial_, initial_->rows);
    } else {
      assignMatrix(state_, *initial_);
    }
    initial_ = nullptr;
  }

  // This process's [sliceRows] rows of [column] (a slice or whole).
  static Matrix sliceOf(const Matrix& column, int32_t sliceRows) {
    Matrix slice;
    slice.setSizeForOverwrite(sliceRows, 1);
    const int32_t wholeRows = column.isSlice() ? column.wholeRows : column.rows;
    markSlice(slice, wholeRows);
    const int32_t from = column.isSlice() ? 0 : slice.firstRow;
    std::copy(column.data.begin() + from, column.data.begin() + from + sliceRows, slice.data.begin());
    return slice;
  }

  static void markSlice(Matrix& slice, int32_t wholeRows) {
    slice.wholeRows = wholeRows;
    slice.firstRow = slice.rows * static_cast<int32_t>(processRank());
  }

  // A gate on nearly every qubit, leaving no local one free: applied to the
  // column gathered whole (within the element budget), then split again.
  void gateOnWholeColumn(const Matrix& matrix, const std::vector<int32_t>& qubits) {
    layout_.restore(state_);
    gatherWhole(state_);
    kernels::applyGates({kernels::CircuitGate{&matrix, qubits}}, layout_.qubitCount(), state_.data.data(),
                        state_.data.data(), shape_);
    keepOwnSlice(state_);
    throwIfBreak();
  }

  const Matrix* initial_;
  kernels::BlockShape shape_;
  bool split_ = false;
  int32_t local_ = 0;  // the qubits the passes see: all of them, or a slice's
  kernels::SplitLayout layout_;
  Matrix owned_;
  Matrix state_;
  std::vector<kernels::CircuitGate> pending_;
};

bool names(const std::vector<int32_t>& qubits, int32_t q) {
  return std::find(qubits.begin(), qubits.end(), q) != qubits.end();
}

}  // namespace

Matrix runQasmProgram(const QasmProgram& program, const Matrix* initial, std::vector<int32_t>& registerValues,
                      const kernels::BlockShape& shape) {
  static const Matrix flip = [] {
    Matrix x;
    standardGateMatrix("x", {}, x);
    return x;
  }();
  std::vector<bool> bits(static_cast<size_t>(program.bitCount), false);
  auto registerValue = [&](const QasmRegister& reg) {
    int32_t value = 0;
    for (int32_t j = 0; j < reg.size; ++j) {
      if (bits[static_cast<size_t>(reg.offset + j)]) value |= int32_t{1} << j;
    }
    return value;
  };
  RunningState state(program.qubitCount, initial, shape);
  bool conditionHolds = true;
  const std::vector<QasmOperation>& operations = program.operations;
  for (size_t index = 0; index < operations.size(); ++index) {
    const QasmOperation& op = operations[index];
    // Operations after [index] up to the next measurement or reset (which
    // puts every qubit home) in which [q] takes part: the first one's
    // distance, or the largest value for none.
    auto laterUse = [&](int32_t q) {
      const size_t end = std::min(operations.size(), index + kLookahead);
      for (size_t i = index + 1; i < end && operations[i].kind == QasmOperation::Kind::Gate; ++i) {
        if (names(operations[i].qubits, q)) return static_cast<uint64_t>(i - index);
      }
      return UINT64_MAX;
    };
    if (op.conditionRegister >= 0) {
      if (!op.sameCondition) {
        const QasmRegister& reg = program.classicalRegisters[static_cast<size_t>(op.conditionRegister)];
        conditionHolds = registerValue(reg) == op.conditionValue;
      }
      if (!conditionHolds) continue;
    }
    switch (op.kind) {
      case QasmOperation::Kind::Gate:
        state.addGate(program.matrices[static_cast<size_t>(op.matrix)], op.qubits, laterUse);
        break;
      case QasmOperation::Kind::Measure:
        bits[static_cast<size_t>(op.bit)] = state.measure(op.qubits[0]) == 1;
        break;
      case QasmOperation::Kind::Reset:
        if (state.measure(op.qubits[0]) == 1) state.addGate(flip, op.qubits, laterUse);
        break;
    }
  }
  registerValues.clear();
  for (const QasmRegister& reg : program.classicalRegisters) registerValues.push_back(registerValue(reg));
  return state.finish();
}
