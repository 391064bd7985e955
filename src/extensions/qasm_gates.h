// The gates an OpenQASM 2.0 program starts from: the built-in U and CX, and
// the standard header qelib1.inc, built in as its text and, for each of its
// gates, as the exact matrix its composition of U and CX stands for.
//
// A matrix acts on its gate's arguments with the first argument as the most
// significant bit of its index (the order apply_qubits takes). Each entry is
// its closed form rounded once: x is exactly [[0, 1], [1, 0]], h is
// s·[[1, 1], [1, -1]] with s the double nearest 1/√2, the controlled
// permutations are exact, a phase e^(iθ) is (cos θ, sin θ), and an entry
// that is a product of such factors is formed in extended precision and
// rounded to double once.
#pragma once

#include <string>
#include <vector>

#include "value/matrix.h"

// The file name that stands for the built-in standard header.
extern const char* const kStandardHeaderName;
// The standard header's text: gate definitions in terms of U and CX.
extern const char* const kStandardHeaderText;

// U(θ, φ, λ) = [[cos(θ/2), -e^(iλ) sin(θ/2)], [e^(iφ) sin(θ/2), e^(i(φ+λ)) cos(θ/2)]].
Matrix universalGateMatrix(double theta, double phi, double lambda);

// CX with the control on the high bit: |c t⟩ → |c, t ⊕ c⟩.
Matrix controlledNotMatrix();

// The exact matrix of the standard header's gate [name] with the parameter
// values [params] (as many as the header declares); false for a name the
// header does not define.
bool standardGateMatrix(const std::string& name, const std::vector<double>& params, Matrix& out);
