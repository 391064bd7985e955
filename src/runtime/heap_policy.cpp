#include "runtime/heap_policy.h"

#include <malloc.h>

void keepLargeArraysOnHeap() {
  constexpr int kThreshold = 512 << 20;
  mallopt(M_MMAP_THRESHOLD, kThreshold);
  mallopt(M_TRIM_THRESHOLD, kThreshold);
  // The interpreter runs on a thread of its own, and a thread's arena cannot
  // hold a block over 64 MiB: it would map every large state afresh. With one
  // arena every thread allocates from the heap these thresholds govern.
  mallopt(M_ARENA_MAX, 1);
}
