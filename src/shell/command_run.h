// What a command line runs once it is read: the script it names and its
// libraries, read before anything runs, then the libraries, and the
// session, the script or the `-e` lines. The program and the command-line
// fuzz target both run it.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "interp/console_io.h"
#include "interp/interpreter.h"
#include "interp/source_text.h"
#include "runtime/file_access.h"
#include "shell/command_line.h"
#include "shell/libraries.h"

// What a command line runs, read in full before anything runs.
struct CommandLineWork {
  std::string script;              // the script of FILE or "-"
  SourceText source;               // where each of its characters came from
  std::vector<Library> libraries;  // the -l libraries, in order
};

// Reads the script of a ScriptFile or ScriptInput command line into [work]:
// the FILE (as [files] allow it) or what descriptor [input] holds, a first
// line "#!…" skipped. Returns false after saying on [errors] why it cannot
// be run.
bool readCommandLineScript(const CommandLine& options, const FileRules& files, int input, CommandLineWork& work,
                           std::ostream& errors);

// Runs the libraries of [work] into the globals, then the session (reading
// [input]), the script of [work] or the -e lines that [options] asks for,
// with [interp] on the stack of the caller.
void runCommandLineWork(Interpreter& interp, ConsoleInput* input, const CommandLine& options, CommandLineWork& work);
