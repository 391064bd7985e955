#include "runtime/diagnostics.h"

#include <atomic>

#include "runtime/console.h"

namespace {
std::atomic<bool> reported{false};
}  // namespace

std::ostream& diagnostic() {
  noteDiagnostic();
  return console();
}

void noteDiagnostic() noexcept { reported.store(true, std::memory_order_relaxed); }

bool diagnosticReported() noexcept { return reported.load(std::memory_order_relaxed); }

void clearDiagnostics() noexcept { reported.store(false, std::memory_order_relaxed); }
