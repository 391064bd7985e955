// The one source of randomness: the C library generator, seeded once at
// start-up and shared by rand, randf, random_int, the measurements and the
// extension commands. Each function below takes exactly one draw (two for
// drawUniform) and turns it into a number by a fixed rule, so a seed repeats
// every outcome of a run.
#pragma once

#include <cstdint>

// Seeds the generator (once, at start-up).
void seedDraws(uint32_t seed);
// The seed of a run without --seed: the time in whole seconds (its low 32 bits).
uint32_t clockSeed();

// A draw reduced below [n] > 0: draw mod n (rand).
int32_t drawBelow(int32_t n);
// A draw on the grid of ten thousandths: (draw mod 10000) / 10000, in [0, 1)
// (randf, measure_qbit).
double drawOnGrid();
// The same grid as a percentage, in [0, 100): drawOnGrid() · 100 (measure).
double drawPercentOnGrid();
// A whole percentage: draw mod 100, in 0 … 99 (partial_measure, random_int).
int32_t drawWholePercent();
// A double uniform on [0, 1) with 53 random bits from two draws (sample).
double drawUniform();
