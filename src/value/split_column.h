// Columns held split over the processes of a distributed run. A column of
// 2^n rows whose slice would hold at least splitMinimum() amplitudes per
// process is kept split: process r keeps rows [r·2^n/P, (r+1)·2^n/P). Code
// written for slices reads them as they are; every other reader goes
// through the value getter, which gathers the column whole on every process
// first, or refuses when the whole column would not fit one process.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

#include "value/matrix.h"

// Whether a [rows] × [cols] value is held split in this run.
bool heldSplit(int64_t rows, int64_t cols);

// Keeps only this process's slice of [m] when it is a whole column held
// split; anything else stays as it is. Every process calls it alike.
void keepOwnSlice(Matrix& m);

// Makes a slice [m] whole on every process (nothing for a whole value).
// Throws "KEYWORD needs the whole state in one process (2^n amplitudes)"
// (the shell prints it after "Error: ") when the whole column would pass
// the element budget, KEYWORD being the innermost WholeStateReader's name,
// else the keyword being evaluated, else print.
void gatherWhole(Matrix& m);

// Hands process 0 every row of the column held split that [slice] is part
// of, in row order: [take](rows, count) is called on process 0 alone, for
// its own slice and then for every other process's, sent to it [chunkRows]
// rows at a time. Every process calls it alike; none leaves early.
void streamSlicesToLead(const Matrix& slice, size_t chunkRows,
                        const std::function<void(const Complex* rows, size_t count)>& take);

// While one lives, the keyword [name] is what reads values: the name a
// refusal to gather gives.
class WholeStateReader {
 public:
  explicit WholeStateReader(const char* name);
  ~WholeStateReader();
  WholeStateReader(const WholeStateReader&) = delete;
  WholeStateReader& operator=(const WholeStateReader&) = delete;

 private:
  const char* outer_;
};
