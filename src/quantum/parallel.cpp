#include "quantum/parallel.h"

void parallelFor(int64_t n, int64_t grain, const std::function<void(int64_t, int64_t)>& body) {
  if (n <= 0) return;
  if (grain < 1) grain = 1;
  for (int64_t begin = 0; begin < n; begin += grain) body(begin, begin + grain < n ? begin + grain : n);
}
