// Extension commands: keywords added to the language through the registry
// of the interpreter. Each is a row like a built-in keyword's, run with the
// same Call; built-ins are always matched first, so an extension only ever
// gives meaning to a line that no built-in knows.
#pragma once

#include <vector>

#include "interp/interpreter.h"
#include "interp/keyword_row.h"

// Every extension command of the system, in registration order.
const std::vector<KeywordRow>& extensionCommands();

// Adds every extension command of the system to [interp]'s registry, in
// order. Called once at start-up.
void registerExtensions(Interpreter& interp);
