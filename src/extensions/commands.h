// The extension commands of the system: each a keyword written like a
// built-in, with the help text `help NAME` prints.
#pragma once

#include "interp/builtin.h"

// show_state STATE [SYSTEM]: the ket in Dirac notation, one term per line.
void extensionShowState(Call& call);
extern const char* const kShowStateHelp;

// histogram STATE [SYSTEM [K]]: the probabilities as bars of a fixed width.
void extensionHistogram(Call& call);
extern const char* const kHistogramHelp;

// sample STATE N [SYSTEM [K]]: N shots without collapse; a vector of counts.
void extensionSample(Call& call);
extern const char* const kSampleHelp;

// plot_file NAME STATE [SYSTEM [K]]: the histogram as an SVG file.
void extensionPlotFile(Call& call);
extern const char* const kPlotFileHelp;

// apply_qubits STATE OP Q1 [Q2 ...]: the new state after OP (2^k × 2^k) acts
// on the qubits Q1 … Qk of the column STATE; Q1 is OP's most significant bit.
void extensionApplyQubits(Call& call);
extern const char* const kApplyQubitsHelp;

// run_qasm FILE [STATE]: the state after the OpenQASM 2.0 program FILE, run
// from STATE or |0…0⟩; classical registers written into integer variables.
void extensionRunQasm(Call& call);
extern const char* const kRunQasmHelp;
