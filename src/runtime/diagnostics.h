// Whether the run has reported anything, and where it happened: every
// diagnostic the language prints and every thrown message a handler reports
// passes through here, so a script run from the command line can end with a
// failing exit status without anyone reading its output, and every report
// can be followed on standard error by the place in the script it concerns.
//
// Reports keep the language's text on standard output; the notes about them
// (where, why, warnings) go to standard error, so a session's standard
// output is the same with or without them.
#pragma once

#include <ostream>
#include <sstream>
#include <string>

// Says where the evaluation in progress is, for the notes: the interpreter
// that evaluates installs one for as long as it runs a text.
class DiagnosticLocator {
 public:
  virtual ~DiagnosticLocator() = default;
  // The lines that place the innermost evaluation, each ending in "\n":
  // its place, ": " and [what] (then, [withExpression], its text), then the
  // places of the scripts' callers; empty when nothing is being evaluated.
  virtual std::string placeNote(const std::string& what, bool withExpression) const = 0;
  // The keyword of the innermost evaluation, or nullptr when none runs.
  virtual const char* runningKeyword() const { return nullptr; }
};

// Installs [locator] (nullptr: none); returns the previous one.
const DiagnosticLocator* setDiagnosticLocator(const DiagnosticLocator* locator) noexcept;
// The one installed, or nullptr.
const DiagnosticLocator* diagnosticLocator() noexcept;

// Where notes go: standard error unless redirected.
std::ostream& notes();
// Redirects the notes to [stream] (nullptr restores standard error); returns
// the previous stream.
std::ostream* setNotes(std::ostream* stream);

// One diagnostic being written to standard output. It marks the run as
// having reported something; when the statement that writes it ends, the
// place it was made in is noted on standard error.
class DiagnosticLine {
 public:
  DiagnosticLine();
  ~DiagnosticLine();
  DiagnosticLine(const DiagnosticLine&) = delete;
  DiagnosticLine& operator=(const DiagnosticLine&) = delete;

  template <typename T>
  DiagnosticLine& operator<<(const T& value) {
    out_ << value;
    return *this;
  }

 private:
  std::ostream& out_;
};

// Starts a diagnostic on the console (see DiagnosticLine).
DiagnosticLine diagnostic();
// Notes that a diagnostic was reported (for reports that print elsewhere).
void noteDiagnostic() noexcept;
// Whether any diagnostic was reported since the start or the last clear.
bool diagnosticReported() noexcept;
// Forgets earlier reports.
void clearDiagnostics() noexcept;

// What becomes of warnings: notes on standard error about what the language
// lets pass without a word (a variable that does not exist, an assignment
// that assigns nothing, arguments a keyword ignores).
enum class WarningMode {
  Shown,     // written to standard error (the default)
  Silenced,  // not written (-W none)
  Counted,   // written, and counted as a reported diagnostic (-W error)
};
void setWarningMode(WarningMode mode) noexcept;
WarningMode warningMode() noexcept;

// One warning being written: collected, then noted on standard error with
// the place it concerns ("prog.dvx:3:5: warning: " + text) when the
// statement that writes it ends. An inactive warning writes nothing.
class WarningLine {
 public:
  // [place] overrides the place of the innermost evaluation ("prog.dvx:2:7").
  explicit WarningLine(bool active, std::string place = std::string());
  ~WarningLine();
  WarningLine(const WarningLine&) = delete;
  WarningLine& operator=(const WarningLine&) = delete;

  template <typename T>
  WarningLine& operator<<(const T& value) {
    if (active_) text_ << value;
    return *this;
  }
  // Whether anything will be written (so costly text can be skipped).
  bool active() const { return active_; }

 private:
  bool active_;
  std::string place_;
  std::ostringstream text_;
};
