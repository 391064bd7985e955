// The loop policy of the numeric kernels: a kernel is written once as a body
// over a range of independent output blocks and handed to parallelFor, which
// decides how the blocks are spread over threads. Every block computes the
// same bits whichever thread runs it, so results never depend on the thread
// count.
#pragma once

#include <cstdint>
#include <functional>

// Calls [body](begin, end) for consecutive ranges covering [0, [n]), each at
// least [grain] long except the last, and returns when all have run. Ranges
// may run concurrently; [body] must only write outputs of its own range.
void parallelFor(int64_t n, int64_t grain, const std::function<void(int64_t, int64_t)>& body);
