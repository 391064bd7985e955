// Scalar mathematics and random numbers.
#include "builtins/builtins.h"

void builtinRootOfUnity(Call&) {}
void builtinRand(Call&) {}
void builtinRandf(Call&) {}
void builtinRandomInt(Call&) {}
void builtinCast(Call&) {}
void builtinNeg(Call&) {}
void builtinSin(Call&) {}
void builtinCos(Call&) {}
void builtinInv(Call&) {}
void builtinSqrt(Call&) {}
void builtinPow2(Call&) {}
void builtinPow(Call&) {}
void builtinPowm(Call&) {}
void builtinExp(Call&) {}
void builtinInteger(Call&) {}
void builtinDouble(Call&) {}
void builtinReal(Call&) {}
void builtinComplex(Call&) {}
void builtinCnorm(Call&) {}
