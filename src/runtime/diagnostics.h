// Whether the run has reported anything: every diagnostic the language
// prints and every thrown message a handler reports passes through here, so
// a script run from the command line can end with a failing exit status
// without anyone reading its output.
#pragma once

#include <ostream>

// The console, after noting that a diagnostic is being reported there.
std::ostream& diagnostic();
// Notes that a diagnostic was reported (for reports that print elsewhere).
void noteDiagnostic() noexcept;
// Whether any diagnostic was reported since the start or the last clear.
bool diagnosticReported() noexcept;
// Forgets earlier reports.
void clearDiagnostics() noexcept;
