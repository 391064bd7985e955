// The arithmetic keywords: strict about operand types, nothing converts implicitly.
#pragma once

#include "interp/builtin.h"

// add / + A B: sum of two integers, doubles, complexes or equal-shaped matrices.
void builtinAdd(Call& call);
// subtract / - A B: A minus B for the same pairs as add.
void builtinSubtract(Call& call);
// mult / * A B: products, including scalar-times-matrix from the left.
void builtinMult(Call& call);
// div / / A B: quotient in the operands' own type.
void builtinDiv(Call& call);
// div_d A B: quotient as a double.
void builtinDivD(Call& call);
// mod A B: non-negative remainder of integers.
void builtinMod(Call& call);
// and A B: bitwise and of integers.
void builtinAnd(Call& call);
