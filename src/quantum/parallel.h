// The loop policy of the numeric kernels: a kernel is written once as a body
// over a range of independent output blocks and handed to parallelFor, which
// decides how the blocks are spread over threads. Every block computes the
// same bits whichever thread runs it, so results never depend on the thread
// count.
//
// The threads form one small pool, created on first use: one per hardware
// thread, fewer when the DOVEX_THREADS environment variable asks for fewer.
// When threads cannot be created the work runs serially on the caller.
#pragma once

#include <cstdint>
#include <functional>

// A block of work: the units [begin, end) of a kernel's independent outputs.
// A block writes only the outputs of its own units, so which thread runs it
// never changes a bit.
using WorkBlock = std::function<void(int64_t begin, int64_t end)>;

// Calls [block](begin, end) for consecutive ranges covering [0, [n]), each at
// least [grain] long except the last, and returns when all have run. Ranges
// may run concurrently; [block] should not throw (a kernel that stops early
// on a break simply returns); if it does, the remaining ranges are skipped
// and the first exception is rethrown here.
void parallelFor(int64_t n, int64_t grain, const WorkBlock& block);

// The number of threads parallelFor spreads work over (the caller included).
int parallelThreadCount();

// Rebuilds the pool with [threads] threads in all (at least 1; fewer when the
// system refuses more). Tests use it to compare thread counts.
void setParallelThreads(int threads);
