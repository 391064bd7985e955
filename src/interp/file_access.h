// The one gate every file keyword passes before it opens a path: `file`
// reading a script, `new_file` and `print_file` writing a result file.
#pragma once

#include <string>

#include "interp/interpreter.h"

// Whether [path] may be opened at all. A name holding a NUL byte is refused,
// since the C library would open the shorter name before it; when
// [interp].fileRoot is set, so is every path that does not resolve inside it.
bool mayOpenPath(const Interpreter& interp, const std::string& path);

// Prints "Cannot open file '" + [path] + "'\n": the one report for a path
// that is missing, refused, a directory or otherwise unusable.
void reportCannotOpen(const std::string& path);
