#include "runtime/diagnostics.h"

#include <atomic>
#include <iostream>

#include "runtime/console.h"

namespace {
std::atomic<bool> reported{false};
std::atomic<WarningMode> warnings{WarningMode::Shown};
const DiagnosticLocator* currentLocator = nullptr;
std::ostream* noteStream = nullptr;

// Writes [text] as notes, after what standard output holds so far, so the
// two streams interleave in order when both are the terminal.
void writeNote(const std::string& text) {
  if (text.empty()) return;
  console().flush();
  notes() << text;
  notes().flush();
}

}  // namespace

const DiagnosticLocator* setDiagnosticLocator(const DiagnosticLocator* locator) noexcept {
  const DiagnosticLocator* previous = currentLocator;
  currentLocator = locator;
  return previous;
}

const DiagnosticLocator* diagnosticLocator() noexcept { return currentLocator; }

std::ostream& notes() { return noteStream ? *noteStream : std::cerr; }

std::ostream* setNotes(std::ostream* stream) {
  std::ostream* previous = noteStream;
  noteStream = stream;
  return previous;
}

DiagnosticLine::DiagnosticLine() : out_(console()) { noteDiagnostic(); }

DiagnosticLine::~DiagnosticLine() {
  if (!currentLocator) return;
  try {
    writeNote(currentLocator->placeNote("in ", true));
  } catch (...) {
    // A note that cannot be made (no memory) is left out.
  }
}

DiagnosticLine diagnostic() { return DiagnosticLine(); }

void noteDiagnostic() noexcept { reported.store(true, std::memory_order_relaxed); }

bool diagnosticReported() noexcept { return reported.load(std::memory_order_relaxed); }

void clearDiagnostics() noexcept { reported.store(false, std::memory_order_relaxed); }

void setWarningMode(WarningMode mode) noexcept { warnings.store(mode, std::memory_order_relaxed); }

WarningMode warningMode() noexcept { return warnings.load(std::memory_order_relaxed); }

WarningLine::WarningLine(bool active, std::string place)
    : active_(active && warningMode() != WarningMode::Silenced), place_(std::move(place)) {}

WarningLine::~WarningLine() {
  if (!active_) return;
  if (warningMode() == WarningMode::Counted) noteDiagnostic();
  try {
    const std::string text = "warning: " + text_.str();
    std::string note = place_.empty() ? (currentLocator ? currentLocator->placeNote(text, false) : std::string())
                                      : place_ + ": " + text + "\n";
    writeNote(note.empty() ? text + "\n" : note);
  } catch (...) {
  }
}
