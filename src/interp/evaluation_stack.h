// The stack the evaluator recurses on. Every level of nesting (argument,
// statement, script file) is a few native frames, so the interpreter runs on
// a thread whose stack is sized for kMaxNestingDepth levels, no larger: under
// an address-space limit (`ulimit -v`) every byte of it is taken from the
// room left for values. Whatever stack is had in the end (a smaller thread's
// when memory is short, this thread's own when no thread can be made), an
// evaluation that would start too close to its end throws "nesting too deep"
// instead of overrunning it.
#pragma once

#include <cstdint>
#include <functional>

#include "runtime/sanitizer_build.h"

// The lowest frame address at which an evaluation may still start on this
// thread; 0 when not known (no check).
extern constinit thread_local uintptr_t evaluationStackFloor;

// Whether this thread's stack has too little room left for one more level.
inline bool evaluationStackExhausted() {
  return reinterpret_cast<uintptr_t>(__builtin_frame_address(0)) < evaluationStackFloor;
}

// Runs [body] on a thread whose stack holds kMaxNestingDepth nested
// evaluations and waits for it; exceptions are passed back. When such a
// thread cannot be had, smaller stacks are tried, and at last this thread's
// own (runOnOwnStack).
void runWithLargeStack(const std::function<void()>& body);

// Runs [body] on this thread's own stack with the same check, the stack
// grown in advance as deep as it may be used (a stack that grows on demand
// could otherwise fail to grow once values have taken the address space).
void runOnOwnStack(const std::function<void()>& body);
