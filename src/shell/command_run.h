// What a command line runs once it is read: the script it names, read
// before anything runs, then the session, the script or the `-e` line. The
// program and the command-line fuzz target both run it.
#pragma once

#include <ostream>
#include <string>

#include "interp/console_io.h"
#include "interp/interpreter.h"
#include "runtime/file_access.h"
#include "shell/command_line.h"

// Reads the script of a ScriptFile or ScriptInput command line into
// [script]: the FILE (as [files] allow it) or what descriptor [input] holds.
// Returns false after saying on [errors] why it cannot be run.
bool readCommandLineScript(const CommandLine& options, const FileRules& files, int input, std::string& script,
                           std::ostream& errors);

// Runs the session (reading [input]), the [script] read before, or the line
// that [options] asks for with [interp], on the stack of the caller.
void runCommandLineWork(Interpreter& interp, ConsoleInput* input, const CommandLine& options, std::string script);
