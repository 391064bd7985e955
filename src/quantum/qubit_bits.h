// How a qubit index names a bit of a basis state's row number, wherever the
// language counts qubits (gate, measure_qbit): qubit j is bit j of the row
// number, so qubit 0 is the rightmost factor of a register.
#pragma once

#include <cstdint>

// The bit a qubit index stands for: an index below 0 weighs like qubit 0.
inline int32_t qubitBit(int32_t index) { return index < 0 ? 0 : index; }

// Whether [bit] (≥ 0) is set in the row number [row]. Row numbers are below
// 2^31, so from bit 31 on no row has its bit set.
inline bool rowHasBit(uint64_t row, int32_t bit) { return bit < 31 && ((row >> bit) & 1u) != 0; }
