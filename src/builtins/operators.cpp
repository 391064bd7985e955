// Operator application and tensor product.
#include <algorithm>
#include <bit>
#include <cstddef>
#include <utility>

#include "quantum/kernels.h"
#include "quantum/qubit_kernels.h"
#include "quantum/slice_kernels.h"
#include "builtins/keyword_tables.h"
#include "interp/call.h"
#include "runtime/break_flag.h"
#include "runtime/process_group.h"
#include "value/split_column.h"

namespace {

// The largest register a column held split may be: sizes are 32-bit.
constexpr int64_t kMostSplitRows = int64_t{1} << 30;

// A product of two columns held split: each process works out its own rows
// of it from its slice of [a] (whose rows are exactly those its rows need)
// or from the whole [a], and [b] whole, or b's rows handed to it by the
// processes holding them when [b] is held split. False when the product is
// not held split (nothing done).
bool splitProduct(Call& call, const Matrix& a, const Matrix& b) {
  const int64_t aRows = a.isSlice() ? a.wholeRows : a.rows;
  const int64_t bRows = b.isSlice() ? b.wholeRows : b.rows;
  const int64_t rows = aRows * bRows;
  if (a.cols != 1 || b.cols != 1 || !b.hasStorage() || !a.hasStorage() || rows > kMostSplitRows ||
      !heldSplit(rows, 1)) {
    return false;
  }
  const int64_t sliceRows = rows / processCount();
  if (!call.fitsElementBudget(sliceRows, 1)) return true;
  Matrix product;
  product.setSizeForOverwrite(static_cast<int32_t>(sliceRows), 1);
  product.wholeRows = static_cast<int32_t>(rows);
  product.firstRow = static_cast<int32_t>(sliceRows * processRank());
  if (b.isSlice()) {
    kernels::tensorWithSplitRight(a, b, product);
    call.result.setMatrix(std::move(product));
    return true;
  }
  const size_t first = static_cast<size_t>(product.firstRow);
  const size_t bLength = static_cast<size_t>(bRows);
  const size_t aFirst = static_cast<size_t>(a.firstRow);
  Complex* out = product.data.data();
  for (size_t i = 0; i < static_cast<size_t>(sliceRows); ++i) {
    const size_t row = first + i;
    out[i] = complexProduct(a.data[row / bLength - aFirst], b.data[row % bLength]);
  }
  call.result.setMatrix(std::move(product));
  return true;
}

}  // namespace

static void builtinTensor(Call& call) {
  const Arg left = call.argument(1);
  const Arg right = call.argument(2);
  if (!call.hasType(*left, ValueType::Matrix, "cannot tensor these types")) return;
  if (splitProduct(call, left->matrixSlice(), right->matrixSlice())) return;
  const Matrix& a = left->getMatrix();
  const Matrix& b = right->getMatrix();
  if (!call.fitsElementBudget(int64_t{a.rows} * b.rows, int64_t{a.cols} * b.cols)) return;
  Matrix product;
  kernels::tensorProduct(a, b, product);
  throwIfBreak();
  call.result.setMatrix(std::move(product));
}

namespace {

// log2 of a power of two.
int32_t bitsOf(int64_t power) { return std::countr_zero(static_cast<uint64_t>(power)); }

}  // namespace

// apply_op on a column held split, [slice] this process's part of it, each
// amplitude summed as one process sums it: false, and nothing done, where
// the column must be gathered (or the checks of apply_op refuse it). When
// the processes divide the subsystems before K (A of them), each slice
// holds whole blocks of rows G mixes: A/P of them. Otherwise, in a system of
// powers of two, K's qubits that are leading ones are swapped with free
// local ones, K's qubits kept in order so that G's terms add in the same
// order, and swapped back on the result.
static bool applyToSlice(const std::vector<int32_t>& dims, int32_t k, const Matrix& g, const Matrix& slice,
                         Matrix& out) {
  if (k < 0 || static_cast<size_t>(k) >= dims.size() || !g.hasStorage() || slice.cols != 1) return false;
  if (!std::all_of(dims.begin(), dims.end(), [](int32_t d) { return d > 0; })) return false;
  const size_t at = static_cast<size_t>(k);
  if (g.rows != g.cols || g.rows != dims[at] || kernels::dimensionProduct(dims, 0, dims.size()) != slice.wholeRows) {
    return false;
  }
  const int64_t before = kernels::dimensionProduct(dims, 0, at);
  const int64_t after = kernels::dimensionProduct(dims, at + 1, dims.size());
  const int64_t processes = processCount();
  if (before % processes == 0) {
    kernels::applyToSubsystem(g, before / processes, after, slice, out);
    return true;
  }
  if (!std::all_of(dims.begin(), dims.end(), [](int32_t d) { return std::has_single_bit(static_cast<uint32_t>(d)); })) {
    return false;
  }
  if (g.rows == 1) {  // each row alone
    kernels::applyToSubsystem(g, slice.rows, 1, slice, out);
    return true;
  }
  const int32_t localQubits = bitsOf(slice.rows);
  const int32_t low = bitsOf(after);
  const int32_t width = bitsOf(g.rows);
  if (width > localQubits) return false;
  std::vector<int32_t> qubits;  // the most significant first
  for (int32_t q = low + width; q-- > low;) qubits.push_back(q);
  std::vector<int32_t> places;
  const auto swaps = kernels::localPlacesInOrder(qubits, localQubits, places);
  Matrix moved;
  moved.setSizeForOverwrite(slice.rows, 1);
  kernels::makeSliceSwaps(slice, moved, swaps);
  kernels::applyToQubits(g, places, moved, out);
  moved.release();
  kernels::undoSliceSwaps(out, swaps);
  return true;
}

static void builtinApplyOp(Call& call) {
  const Arg systemValue = call.argument(1);
  const Arg position = call.argument(2);
  const Arg operatorValue = call.argument(3);
  const Arg stateValue = call.argument(4);
  const std::vector<int32_t>& dims = systemValue->getSystem();
  const int32_t k = position->getInteger();
  const Matrix& g = operatorValue->getMatrix();
  const Matrix& held = stateValue->matrixSlice();
  Matrix transformed;
  if (held.isSlice() && applyToSlice(dims, k, g, held, transformed)) {
    throwIfBreak();  // a break stopped the exchanges or the kernel part-way
    transformed.wholeRows = held.wholeRows;
    transformed.firstRow = held.firstRow;
    call.result.setMatrix(std::move(transformed));
    return;
  }
  const Matrix& v = stateValue->getMatrix();

  if (!call.dimensionsPositive(dims)) return;
  const bool inSystem = k >= 0 && static_cast<size_t>(k) < dims.size();
  if (inSystem && !g.hasStorage()) {
    call.syntaxError("; empty operator");
    return;
  }
  const kernels::WidenedShape widened = kernels::widenedShape(dims, k, g);
  if (widened.cols != v.rows) {
    call.syntaxError("; matrix wrong size for mult");
    return;
  }
  if (!call.fitsElementBudget(widened.rows, v.cols)) return;
  kernels::applyOperator(dims, k, g, v, transformed);
  throwIfBreak();  // a break stopped the kernel part-way
  call.result.setMatrix(std::move(transformed));
}

// Operator application and tensor product, one row each.
constexpr KeywordRow kRows[] = {
    {.name = "tensor", .aliases = "", .run = builtinTensor, .args = {2, 2, "mm"},
     .group = "quantum", .usage = "tensor A B",
     .summary = "The tensor (Kronecker) product of two matrices; the left factor is the most significant.",
     .example = "begin (new space q 2) (tensor (get q.ket.1) (get q.ket.0))",
     .printed = "matrix temp = \n0 + 0i\t\n0 + 0i\t\n1 + 0i\t\n0 + 0i\t\n"},
    {.name = "apply_op", .aliases = "", .run = builtinApplyOp, .args = {4, 4, "yimm"},
     .group = "quantum", .usage = "apply_op SYS K G PSI",
     .summary = "The state PSI with the operator G applied to subsystem K of the system SYS (subsystem 0 is the leftmost factor).",
     .example = "begin (new space q 2) (new system pair 2 q q) (apply_op (get pair) 1 (matrix 2 2 QFT) (tensor (get q.ket.0) (get q.ket.0)))",
     .printed = "matrix temp = \n0.707107 + 0i\t\n0.707107 + 0i\t\n0 + 0i\t\n0 + 0i\t\n"},
};

KeywordRows operatorKeywords() { return kRows; }
