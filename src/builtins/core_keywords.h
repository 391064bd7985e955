// Keywords of the interpreter core: control forms, variables, script files.
#pragma once

#include "interp/builtin.h"

// global X: evaluates X with the globals as the target of every variable operation.
void builtinGlobal(Call& call);
// begin S1 S2 ...: the statements in order, all writing into the result.
void builtinBegin(Call& call);
// while C S1 ...: repeats the body while C is a non-zero integer; a waiting key breaks it.
void builtinWhile(Call& call);
// nop / NOP: does nothing.
void builtinNop(Call& call);
// if C T E: evaluates T when C is non-zero, else E; reports thrown messages itself.
void builtinIf(Call& call);

// new KIND NAME ...: declares variables (scalars, arrays, spaces, systems, matrices).
void builtinNew(Call& call);
// delete N: removes variable N from the caller's scope.
void builtinDelete(Call& call);
// get N: the value of variable N, named after it.
void builtinGet(Call& call);
// size N: the value of variable N.size.
void builtinSize(Call& call);
// set N V: assigns V to every visible variable N of V's type.
void builtinSet(Call& call);

// file P: runs the script file P as one expression.
void builtinFile(Call& call);
// help N: prints the help of extension command N.
void builtinHelp(Call& call);
