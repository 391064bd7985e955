// What both fuzz targets share: a fresh interpreter per input that never
// reads standard input, prints nowhere, stays inside a scratch directory and
// stops runaway loops.
#pragma once

#include <cstdint>
#include <string>

#include "interp/interpreter.h"

// Evaluations allowed per input line: enough for real programs, few enough
// that an endless `while` is cut short.
inline constexpr uint64_t kFuzzStepLimit = 5000;

// Enters (once) a scratch directory that every file keyword is confined to,
// and returns its path.
const std::string& fuzzScratchDirectory();

// Prepares [interp] for one fuzz input: confinement, step limit, fixed seed,
// output discarded.
void prepareForFuzzing(Interpreter& interp);
