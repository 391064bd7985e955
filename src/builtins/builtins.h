// Built-in functions: scalar mathematics and random numbers, comparisons,
// arrays and element access, spaces and systems, console and file output.
#pragma once

#include <string>

#include "interp/builtin.h"
#include "interp/file_access.h"

// --- scalar mathematics and random numbers ---
void builtinRootOfUnity(Call& call);  // rootOfUnity n: principal n-th root of unity
void builtinRand(Call& call);         // rand n: integer in 0 .. n-1
void builtinRandf(Call& call);        // randf lo hi: double on a 10000-step grid
void builtinRandomInt(Call& call);    // random_int lo hi: integer in lo .. hi
void builtinCast(Call& call);         // cast complex x: double to complex
void builtinNeg(Call& call);          // neg v: negation of integer, double or complex
void builtinSin(Call& call);          // sin x
void builtinCos(Call& call);          // cos x
void builtinInv(Call& call);          // inv x: 1 / x as a double
void builtinSqrt(Call& call);         // sqrt x: square root as a double
void builtinPow2(Call& call);         // pow2 n: 2 to the n, wrapping
void builtinPow(Call& call);          // pow a b: integer, double or complex power
void builtinPowm(Call& call);         // powm a e m: stepwise modular power
void builtinExp(Call& call);          // exp z: complex exponential
void builtinInteger(Call& call);      // integer v: integer from integer or text
void builtinDouble(Call& call);       // double v: double from double or text
void builtinReal(Call& call);         // real z: real part
void builtinComplex(Call& call);      // complex re im
void builtinCnorm(Call& call);        // cnorm z: squared modulus as a complex

// --- comparisons (integers or doubles of one type; 1 or 0) ---
void builtinLess(Call& call);          // comp.less, comp.lt, <
void builtinLessEqual(Call& call);     // comp.lte
void builtinGreater(Call& call);       // comp.gt, >
void builtinGreaterEqual(Call& call);  // comp.gte
void builtinNotEqual(Call& call);      // comp.ne, !=
void builtinEqual(Call& call);         // comp.eq, ==

// --- arrays and element access ---
void builtinIndex(Call& call);       // index S i j ...: the name S.i.j
void builtinGetIndex(Call& call);    // get_index S i: the variable S.i
void builtinVector(Call& call);      // vector ...: prints the argument count
void builtinRowSize(Call& call);     // rowSize M
void builtinColSize(Call& call);     // colSize M
void builtinGetElement(Call& call);  // get_element M i j
void builtinSetElement(Call& call);  // set_element M i j v: a changed copy of M

// The element-creation step of `new`: [count] variables of kind [kindWord]
// named [name] (or name.i), after [name].size when [isArray].
void createElements(Call& call, const std::string& kindWord, const std::string& name, int32_t count,
                    bool isArray);

// --- spaces, systems and matrices declared with `new` ---
void newSpace(Call& call, const std::string& name);   // new space S d
void newSystem(Call& call, const std::string& name);  // new system Y n S1 ... Sn
void newMatrix(Call& call, const std::string& name);  // new matrix M r c

// --- console output, user input and result files ---
void builtinPrint(Call& call);         // print v
void builtinPrintNewLine(Call& call);  // print_new_line
void builtinPrintOneLine(Call& call);  // print_one_line v
void builtinNewFile(Call& call);       // new_file F
void builtinPrintFile(Call& call);     // print_file F v1 v2 ...
void builtinUserInput(Call& call);     // user.input kind

// Opens the result file [name] for [use] (emptied or appended to), as
// new_file and print_file do, without ever waiting on it: a path that may
// not or cannot be opened, or is no regular file or device, is reported
// ("Cannot open file '…'") and yields a closed descriptor.
FileDescriptor openResultFile(const Call& call, const std::string& name, FileUse use);
// Writes [text] to the result file [name], open as [file], in one write,
// reporting "Cannot write file '…'" when it does not reach it (a full disk).
// Returns whether it did.
bool writeResultFile(const FileDescriptor& file, const std::string& name, const std::string& text);
