// Script files and extension help.
#include "interp/keywords.h"

void builtinFile(Call&) {}
void builtinHelp(Call&) {}
