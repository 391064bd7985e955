// The user's request to stop the running line (Ctrl-C). It lives in the
// lowest layer so that the numeric library can poll it between blocks of
// work without knowing the interpreter; the interpreter turns it into the
// thrown "Error: User break.".
#pragma once

#include <cstdint>

// Marks a break as pending. Safe to call from a signal handler.
void requestBreak() noexcept;
// Whether a break is pending. Cheap enough to poll between blocks of work.
bool breakRequested() noexcept;
// Forgets a pending break (a fresh prompt).
void clearBreak() noexcept;
// Throws ScriptError("Error: User break.") when a break is pending.
void throwIfBreak();

// Polls the break flag between blocks of work at a cost that stays out of
// sight: the flag is read only once about kBreakPollWork units of work
// (element operations) have been done since the last read. One per loop (and
// per thread): a kernel inside a parallel region stops early on a break and
// leaves the raising to its caller; serial code may throw at once.
inline constexpr uint64_t kBreakPollWork = uint64_t{1} << 16;
class BreakPoll {
 public:
  // Records [work] units done; true when it is time to look and a break is
  // pending.
  bool stopAfter(uint64_t work) noexcept {
    done_ += work;
    if (done_ < kBreakPollWork) return false;
    done_ = 0;
    return breakRequested();
  }
  // The same, throwing "Error: User break." rather than answering true.
  void throwAfter(uint64_t work) {
    if (stopAfter(work)) throwIfBreak();
  }

 private:
  uint64_t done_ = 0;
};
