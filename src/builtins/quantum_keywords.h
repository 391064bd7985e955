// Quantum operations: gates and the matrix constructor, operator
// application and tensor product, measurement, unitarity and adjoint.
#pragma once

#include "interp/builtin.h"

void builtinGate(Call& call);                 // gate NAME n [c t]
void builtinMatrix(Call& call);               // matrix R C elements... | fill word
void builtinTensor(Call& call);               // tensor A B
void builtinApplyOp(Call& call);              // apply_op S K G V
void builtinMeasureQbit(Call& call);          // measure_qbit V q NAME
void builtinMeasure(Call& call);              // measure V S K NAME
void builtinPartialMeasure(Call& call);       // partial_measure V S K
void builtinMeasureDistribution(Call& call);  // measure_distribution V S K PREFIX
void builtinIsUnitary(Call& call);            // is_unitary A
void builtinTranspose(Call& call);            // transpose A
