#include "runtime/break_flag.h"

#include <atomic>

#include "runtime/script_error.h"

namespace {
// Lock-free, so setting it from a signal handler is safe.
std::atomic<bool> pendingBreak{false};
static_assert(std::atomic<bool>::is_always_lock_free);
}  // namespace

void requestBreak() noexcept { pendingBreak.store(true, std::memory_order_relaxed); }

bool breakRequested() noexcept { return pendingBreak.load(std::memory_order_relaxed); }

void clearBreak() noexcept { pendingBreak.store(false, std::memory_order_relaxed); }

void throwIfBreak() {
  if (breakRequested()) throw ScriptError("Error: User break.");
}
