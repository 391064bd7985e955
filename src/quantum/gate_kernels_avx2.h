// The one-qubit loops of gate_loops.h on 256-bit vectors (two complex
// numbers at a time), compiled for AVX2 and used only where the processor
// has it: the same operations lane by lane, so the same bits.
#pragma once

#include <cstddef>

#include "value/complex.h"

namespace kernels::avx2 {

// Whether this processor runs the functions below (and they were built).
bool available();

// gate_loops.h's loops for a stride of at least 2.
void oneQubitReal(Complex* data, size_t length, size_t stride, const double (&r)[2][2]);
void oneQubitComplex(Complex* data, size_t length, size_t stride, const Complex (&e)[2][2]);
void oneQubitFactor(Complex* data, size_t length, size_t stride, int bit, Complex d);

}  // namespace kernels::avx2
