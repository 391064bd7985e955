// Reading a script file: the text that `file` and the command line run.
#pragma once

#include <string>

#include "interp/source_text.h"

enum class ScriptRead { Done, CannotOpen, TooLarge };

// What becomes of a first line that starts with "#!" (the interpreter line
// of an executable script).
enum class FirstLine {
  Kept,     // `file`: read like any other line
  Skipped,  // the command line: its characters dropped, its line break kept
};

// Reads the script at [path] into [script]: each line break becomes a space,
// and the spaces and tabs that indent a line are dropped. The file is closed
// again before the script runs, so a script that runs itself holds no file
// open per level.
// With [source], the line and column of each character read are appended
// to it.
ScriptRead readScriptFile(const std::string& path, std::string& script, FirstLine first = FirstLine::Kept,
                          SourceText* source = nullptr);

// Reads a script from the open descriptor [fd] (standard input for the
// command line) by the same rule, to its end.
ScriptRead readScript(int fd, std::string& script, FirstLine first = FirstLine::Kept, SourceText* source = nullptr);
