// The one formatter of values: the shell's echo, `print`, `print_one_line`,
// `print_file` and the operand dump of `add` all go through printValue.
#pragma once

#include <ostream>
#include <string>

#include "value/matrix.h"
#include "value/object.h"

// [x] as the standard stream's default format writes it: six significant
// digits, "-0", "inf", "-nan".
std::string formatDouble(double x);

// Writes [value] to [stream]: with [header], "type name = " first; [all]
// prints every matrix element instead of the leading 10 × 10 block. A value
// without payload writes "NULL" to standard output whatever [stream] is.
// A pending break stops a long text part-way (about every 16 KiB it looks)
// with "Error: User break." thrown; shorter texts are always written whole.
void printValue(const Object& value, std::ostream& stream, bool header, bool all);

// The grid of [m]: each element "re + imi\t", each row ended by "\n", then
// one more "\n"; nothing at all for an empty matrix. Stops on a break as
// printValue does.
void printMatrix(const Matrix& m, std::ostream& stream, bool all);

// "re + imi" of [z] (no sign handling: 1 - i is "1 + -1i").
void printComplex(Complex z, std::ostream& stream);
