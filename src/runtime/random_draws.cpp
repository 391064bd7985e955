#include "runtime/random_draws.h"

#include <cstdlib>
#include <ctime>

static_assert(RAND_MAX == 2147483647, "one draw of the generator gives 31 bits");

void seedDraws(uint32_t seed) { std::srand(seed); }

uint32_t clockSeed() { return static_cast<uint32_t>(static_cast<uint64_t>(std::time(nullptr)) & 0xffffffffu); }

int32_t drawBelow(int32_t n) { return std::rand() % n; }

double drawOnGrid() { return (std::rand() % 10000) / 10000.0; }

double drawPercentOnGrid() { return (std::rand() % 10000) / 10000.0 * 100.0; }

int32_t drawWholePercent() { return std::rand() % 100; }

double drawUniform() {
  const uint64_t high = static_cast<uint64_t>(std::rand());
  const uint64_t low = static_cast<uint64_t>(std::rand()) & 0x3FFFFF;
  return static_cast<double>((high << 22) | low) * 0x1p-53;
}
