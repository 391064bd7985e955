// The arithmetic keywords.
#include "value/arithmetic.h"

void builtinAdd(Call&) {}
void builtinSubtract(Call&) {}
void builtinMult(Call&) {}
void builtinDiv(Call&) {}
void builtinDivD(Call&) {}
void builtinMod(Call&) {}
void builtinAnd(Call&) {}
