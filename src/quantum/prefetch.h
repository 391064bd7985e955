// Reading a state with gaps. Loops that skip rows in runs of one or a few
// cache lines (a low qubit, a short run of one outcome) leave gaps in the
// read stream that the hardware prefetcher does not look across; they ask
// for the rows they will read kPrefetchAhead elements ahead instead.
#pragma once

#include <cstddef>

#include "value/complex.h"

inline constexpr size_t kPrefetchAhead = 512;

// Asks for element [i] + kPrefetchAhead of [data], which has [size]
// elements; nothing when that lies past the end.
inline void prefetchAhead(const Complex* data, size_t i, size_t size) {
  if (i + kPrefetchAhead < size) __builtin_prefetch(data + i + kPrefetchAhead);
}
