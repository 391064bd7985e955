// Console output, user input and result files.
#include "builtins/builtins.h"

void builtinPrint(Call&) {}
void builtinPrintNewLine(Call&) {}
void builtinPrintOneLine(Call&) {}
void builtinNewFile(Call&) {}
void builtinPrintFile(Call&) {}
void builtinUserInput(Call&) {}
