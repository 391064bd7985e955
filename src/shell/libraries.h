// Libraries named on the command line with -l: scripts found on a search
// path and read before anything runs, then run into the globals before the
// session, the script or the -e line, so that every scope sees their names.
#pragma once

#include <string>
#include <vector>

#include "interp/source_text.h"

// The folders a library is looked up in, in order: the current folder,
// [scriptFolder] (the folder of the script being run; none when empty),
// each folder of the environment variable DOVEX_PATH (separated by colons),
// the source tree's lib/, then the installed library folder.
std::vector<std::string> librarySearchPath(const std::string& scriptFolder);

// The file the library [name] stands for: in each folder of [path] in turn,
// [name] as given and then [name].txt; the first regular file wins. Empty
// when there is none.
std::string findLibrary(const std::string& name, const std::vector<std::string>& path);

// A library found and read, ready to run.
struct Library {
  std::string path;    // the file it was read from
  std::string script;  // its text, read as `file` reads a script
  SourceText source;   // where each character of the text came from
};

// Finds and reads the libraries [names], in order; a file named twice (by
// any spelling) is read once. Returns false, with a one-line reason in
// [error], at the first that cannot be found or read.
bool readLibraries(const std::vector<std::string>& names, const std::string& scriptFolder,
                   std::vector<Library>& libraries, std::string& error);
