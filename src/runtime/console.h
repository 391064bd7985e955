// The interpreter's standard output. Everything the language prints goes
// here: the shell's echo, diagnostics, and "NULL" for a value without payload
// even when the value was meant for a file.
#pragma once

#include <ostream>

// The stream that stands for standard output (std::cout unless redirected).
std::ostream& console();

// Redirects standard output to [stream] (nullptr restores std::cout); returns
// the previous stream. Tests and fuzz targets capture or discard output this way.
std::ostream* setConsole(std::ostream* stream);
