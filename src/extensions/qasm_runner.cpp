#include "extensions/qasm_runner.h"

#include <cmath>

#include "extensions/qasm_gates.h"
#include "quantum/qubit_kernels.h"
#include "runtime/break_flag.h"
#include "runtime/random_draws.h"

namespace {

// The state being run: its amplitudes live in [state] once the first
// operation has written them; until then they are read from [initial].
class RunningState {
 public:
  RunningState(int32_t qubits, const Matrix* initial, const kernels::BlockShape& shape)
      : qubits_(qubits), initial_(initial), shape_(shape) {
    if (!initial_) {
      state_.setSize(int32_t{1} << qubits_, 1);
      state_.data[0] = Complex{1.0, 0.0};
    }
  }

  // Applies the gates collected so far.
  void flush() {
    if (pending_.empty()) return;
    kernels::applyGates(pending_, qubits_, source().data.data(), target().data.data(), shape_);
    throwIfBreak();
    initial_ = nullptr;
    pending_.clear();
  }

  void addGate(const Matrix& matrix, const std::vector<int32_t>& qubits) {
    pending_.push_back(kernels::CircuitGate{&matrix, qubits});
  }

  // measure_qbit on [qubit]: one draw, then the collapse and renormalisation.
  int32_t measure(int32_t qubit) {
    flush();
    const double p0 = kernels::qubitZeroProbability(source(), qubit);
    throwIfBreak();
    const double draw = drawOnGrid();
    const int32_t outcome = draw < p0 ? 0 : 1;
    const double factor = outcome == 0 ? 1.0 / std::sqrt(p0) : 1.0 / std::sqrt(1.0 - p0);
    kernels::collapseQubit(source(), qubit, outcome, factor, target());
    throwIfBreak();
    initial_ = nullptr;
    return outcome;
  }

  Matrix finish() {
    flush();
    if (initial_) assignMatrix(state_, *initial_);
    return std::move(state_);
  }

 private:
  const Matrix& source() const { return initial_ ? *initial_ : state_; }
  Matrix& target() {
    if (initial_ && !state_.hasStorage()) state_.setSizeForOverwrite(initial_->rows, 1);
    return state_;
  }

  int32_t qubits_;
  const Matrix* initial_;
  kernels::BlockShape shape_;
  Matrix state_;
  std::vector<kernels::CircuitGate> pending_;
};

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
  for (const QasmOperation& op : program.operations) {
    if (op.conditionRegister >= 0) {
      if (!op.sameCondition) {
        const QasmRegister& reg = program.classicalRegisters[static_cast<size_t>(op.conditionRegister)];
        conditionHolds = registerValue(reg) == op.conditionValue;
      }
      if (!conditionHolds) continue;
    }
    switch (op.kind) {
      case QasmOperation::Kind::Gate:
        state.addGate(program.matrices[static_cast<size_t>(op.matrix)], op.qubits);
        break;
      case QasmOperation::Kind::Measure:
        bits[static_cast<size_t>(op.bit)] = state.measure(op.qubits[0]) == 1;
        break;
      case QasmOperation::Kind::Reset:
        if (state.measure(op.qubits[0]) == 1) state.addGate(flip, op.qubits);
        break;
    }
  }
  registerValues.clear();
  for (const QasmRegister& reg : program.classicalRegisters) registerValues.push_back(registerValue(reg));
  return state.finish();
}
