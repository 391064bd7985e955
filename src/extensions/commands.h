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

// save_npy FILE MATRIX: MATRIX written to FILE in numpy's .npy format.
void extensionSaveNpy(Call& call);
extern const char* const kSaveNpyHelp;

// load_npy FILE: the matrix a .npy file holds.
void extensionLoadNpy(Call& call);
extern const char* const kLoadNpyHelp;

// apply_qubits STATE OP Q1 [Q2 ...]: the new state after OP (2^k × 2^k) acts
// on the qubits Q1 … Qk of the column STATE; Q1 is OP's most significant bit.
void extensionApplyQubits(Call& call);
extern const char* const kApplyQubitsHelp;
