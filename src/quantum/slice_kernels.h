// The measurement kernels on a column held split (value/matrix.h): each
// process works on its slice, rows numbered as in the whole column, and the
// processes' partial sums are added in the fixed order of chunked_sums.h, so
// every process ends with the bits one process holding the whole column
// would have.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "value/matrix.h"

namespace kernels {

// Every process's [local] sums (one per outcome, the roots of the slices'
// subtrees) added pairwise over the processes in process order; the same on
// every process. Every process calls it at the same point, where a break
// sent meanwhile is taken (the caller raises it).
std::vector<double> combineSliceSums(const std::vector<double>& local);

// The outcome probabilities of subsystem [k] of the whole column, [slice]
// one process's part of it (a system of powers of two).
std::vector<double> sliceSubsystemProbabilities(const Matrix& slice, const std::vector<int32_t>& dims, int32_t k);
// The probability that qubit [bit] (≥ 0) of the whole column is 0.
double sliceQubitZeroProbability(const Matrix& slice, int32_t bit);

// Σ |v[r]|² over the whole column.
double sliceSquaredNorm(const Matrix& slice);

// [out] = this process's slice of the column collapsed as collapseSubsystem
// and collapseQubit collapse it (the same bits for each amplitude); [out]
// may be [slice] itself.
void collapseSliceSubsystem(const Matrix& slice, const std::vector<int32_t>& dims, int32_t k, int32_t outcome,
                            double rootProbability, Matrix& out);
void collapseSliceQubit(const Matrix& slice, int32_t bit, int32_t outcome, double factor, Matrix& out);

// Swaps qubit [leading] (one of the process number's) with qubit [local]
// (one of the slice's own) of the column [slice] is part of, in place: half
// of the slice goes to the process whose number differs in [leading]'s bit,
// and as much comes back, a bounded chunk at a time. Its own inverse. Both
// processes of each pair call it alike. A break sent meanwhile is taken
// before each chunk and stops every pair there, the column left part-way
// (the caller raises the break and drops it).
void swapLeadingQubit(Matrix& slice, int32_t leading, int32_t local);
// The same from [source] into [target], a slice of the same shape whose
// elements need not hold anything yet (or [source] itself): one pass where
// a copy and a swap in place would take two.
void swapLeadingQubit(const Matrix& source, Matrix& target, int32_t leading, int32_t local);

// Swaps the local qubits [a] > [b] of [slice] in place: a pass over the
// rows whose two bits differ.
void swapLocalQubits(Matrix& slice, int32_t a, int32_t b);

// The swaps that bring the distinct [qubits] of a column held in slices of
// 2^[localQubits] rows (at most that many qubits) to local places in the
// same order: from the lowest up, each to the highest local place below
// those the qubits above it take. Each swap (a, b) exchanges the qubit at a
// with the local one at b < a; [places] gets where each of [qubits] then
// sits. No swap when every one of them is local already.
std::vector<std::pair<int32_t, int32_t>> localPlacesInOrder(const std::vector<int32_t>& qubits, int32_t localQubits,
                                                            std::vector<int32_t>& places);
// [target] (sized like [source], the same part of the same column) =
// [source] with [swaps] made in order: an exchange with a partner for a
// leading qubit (a leading first swap copies as it goes), a pass over the
// slice for two local ones. Every process calls it alike; a break stops it
// part-way (the caller raises it and drops [target]).
void makeSliceSwaps(const Matrix& source, Matrix& target, const std::vector<std::pair<int32_t, int32_t>>& swaps);
// [slice] with [swaps] undone, the last first.
void undoSliceSwaps(Matrix& slice, const std::vector<std::pair<int32_t, int32_t>>& swaps);

// [product] (sized: this process's slice of the product) = its rows of the
// tensor product of the column [a] (whole, or this process's slice of one
// held split) and the column held split that [b] is this process's slice
// of. The rows of b the slice needs are sent straight into it from the
// processes holding them (each process's slice to those that need it, a
// bounded chunk at a time, in rounds of shifts by 0 .. P-1 processes), then
// multiplied in place by a's rows: nothing larger than the product's slice,
// a and b's slice is held. Every process calls it alike.
void tensorWithSplitRight(const Matrix& a, const Matrix& b, Matrix& product);

}  // namespace kernels
