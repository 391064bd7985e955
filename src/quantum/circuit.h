// A sequence of gates applied to a state in a few passes over memory.
// Consecutive gates are grouped so that each group acts on few enough qubits
// that a block of amplitudes spanning them fits in cache: a pass reads each
// block once, applies all the group's gates to it one after the other with
// the kernels of gate_kernels.h, and writes it back. The order of the gates
// is kept and no two gates are ever combined, so every amplitude gets the
// bits that applying the gates one at a time with applyToQubits gives it
// (for finite inputs), whatever the grouping, block size or thread count.
#pragma once

#include <cstdint>
#include <vector>

#include "value/matrix.h"

namespace kernels {

// How applyGates cuts the state into blocks.
struct BlockShape {
  // The number of qubits a block spans (2^blockQubits amplitudes in cache);
  // a gate on more qubits gets a block of its own that spans them all.
  int32_t blockQubits = 15;
  // The lowest qubits every block spans, so that it is read and written in
  // runs of 2^lowQubits consecutive amplitudes.
  int32_t lowQubits = 6;
};

// One gate of a circuit: the 2^k × 2^k [matrix] on the k distinct [qubits],
// qubits[0] standing for the most significant bit of its index.
struct CircuitGate {
  const Matrix* matrix;
  std::vector<int32_t> qubits;
};

// [target] = [gates] applied in order to the 2^[n] amplitudes of [source].
// [target] may be [source] (in place); otherwise its 2^n elements need not
// hold anything yet. Every qubit must be below n. The first pass makes every
// -0 part +0 as it reads (the first dense gate does the same); with no gates
// [target] is an exact copy. The blocks run through parallelFor; a break
// stops between blocks and leaves [target] incomplete (the caller checks the
// break flag).
void applyGates(const std::vector<CircuitGate>& gates, int32_t n, const Complex* source, Complex* target,
                const BlockShape& shape = {});

// The number of passes over the state applyGates makes for [gates].
size_t passCount(const std::vector<CircuitGate>& gates, int32_t n, const BlockShape& shape = {});

}  // namespace kernels
