// The six comparisons: integers with integers, doubles with doubles.
#include "builtins/builtins.h"

void builtinLess(Call&) {}
void builtinLessEqual(Call&) {}
void builtinGreater(Call&) {}
void builtinGreaterEqual(Call&) {}
void builtinNotEqual(Call&) {}
void builtinEqual(Call&) {}
