// Unitarity check and conjugate transpose.
#include "quantum/quantum.h"

void builtinIsUnitary(Call&) {}
void builtinTranspose(Call&) {}
