#include "quantum/kernels.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <new>

#include "quantum/chunked_sums.h"
#include "quantum/parallel.h"
#include "quantum/prefetch.h"
#include "runtime/break_flag.h"

namespace kernels {

namespace {

size_t toIndex(int64_t n) { return static_cast<size_t>(n); }

}  // namespace

int64_t saturatingProduct(int64_t a, int64_t b) {
  if (a <= 0 || b <= 0) return 0;
  if (a > kSaturatedSize / b) return kSaturatedSize;
  return a * b;
}

int64_t dimensionProduct(const std::vector<int32_t>& dims, size_t begin, size_t end) {
  int64_t product = 1;
  for (size_t s = begin; s < end && s < dims.size(); ++s) product = saturatingProduct(product, dims[s]);
  return product;
}

namespace {

// Output elements per chunk handed to one thread: large enough that the
// hand-out costs nothing, small enough that both threads stay busy and a
// break is noticed quickly.
constexpr int64_t kChunkElements = int64_t{1} << 15;

// Elements of one run accumulated together in registers and L1.
constexpr size_t kTile = 64;

// Kept runs of a collapse shorter than this are read with prefetches.
constexpr size_t kShortRun = 64;

int64_t chunkUnits(int64_t elementsPerUnit) {
  return elementsPerUnit >= kChunkElements ? 1 : kChunkElements / std::max<int64_t>(elementsPerUnit, 1);
}

}  // namespace

void applyToSubsystem(const Matrix& g, int64_t high, int64_t low, const Matrix& v, Matrix& out) {
  const size_t gRows = toIndex(g.rows);
  const size_t gCols = toIndex(g.cols);
  const size_t blocks = toIndex(high);
  const size_t run = toIndex(low);
  const size_t outRows = blocks * gRows * run;
  const size_t inRows = toIndex(v.rows);
  const size_t columns = toIndex(v.cols);
  out.setSizeForOverwrite(static_cast<int32_t>(outRows), v.cols);
  const Complex* gData = g.data.data();
  const Complex* inData = v.data.data();
  Complex* outData = out.data.data();

  // Each output entry is summed over the operator's columns in increasing
  // order from +0 + 0i, as the dense product does, and written once. A unit
  // of work is one tile of a run of one block a of one column (a whole block
  // when runs are short); its inputs are read once and its outputs written
  // once.
  const bool tiled = run >= kTile;
  const size_t tiles = tiled ? (run + kTile - 1) / kTile : 1;
  const int64_t units = static_cast<int64_t>(columns * blocks * tiles);
  const int64_t unitElements = static_cast<int64_t>((tiled ? kTile : run) * gRows);
  parallelFor(units, chunkUnits(unitElements), [&](int64_t first, int64_t last) {
    if (breakRequested()) return;
    size_t tile = static_cast<size_t>(first) % tiles;
    size_t a = (static_cast<size_t>(first) / tiles) % blocks;
    size_t col = static_cast<size_t>(first) / (tiles * blocks);
    for (int64_t unit = first; unit < last; ++unit) {
      const Complex* in = inData + col * inRows + a * gCols * run;
      Complex* result = outData + col * outRows + a * gRows * run;
      if (tiled) {
        const size_t b0 = tile * kTile;
        const size_t length = std::min(kTile, run - b0);
        for (size_t r = 0; r < gRows; ++r) {
          Complex sums[kTile];
          for (size_t b = 0; b < length; ++b) sums[b] = Complex{0.0, 0.0};
          for (size_t k = 0; k < gCols; ++k) {
            const Complex entry = gData[r + k * gRows];
            const Complex* source = in + k * run + b0;
            for (size_t b = 0; b < length; ++b) {
              addProduct(sums[b], entry, source[b]);
            }
          }
          Complex* target = result + r * run + b0;
          for (size_t b = 0; b < length; ++b) target[b] = sums[b];
        }
      } else {
        for (size_t r = 0; r < gRows; ++r) {
          for (size_t b = 0; b < run; ++b) {
            Complex sum{0.0, 0.0};
            for (size_t k = 0; k < gCols; ++k) {
              addProduct(sum, gData[r + k * gRows], in[k * run + b]);
            }
            result[r * run + b] = sum;
          }
        }
      }
      if (++tile == tiles) {
        tile = 0;
        if (++a == blocks) {
          a = 0;
          ++col;
        }
      }
    }
  });
}

bool shapeTensorProduct(const Matrix& a, const Matrix& b, Matrix& out) {
  const int64_t rows = int64_t{a.rows} * b.rows;
  const int64_t cols = int64_t{a.cols} * b.cols;
  if (!fitsElementBudget(rows, cols)) throw std::bad_alloc();
  if (!out.setSizeForOverwrite(static_cast<int32_t>(rows), static_cast<int32_t>(cols))) {
    out.release();
    return false;
  }
  return true;
}

void tensorProduct(const Matrix& a, const Matrix& b, Matrix& out) {
  if (!shapeTensorProduct(a, b, out)) return;
  // Unit: one column of a's factor times one column of b (a.rows · b.rows
  // elements), in storage order.
  const size_t aRows = toIndex(a.rows);
  const size_t bRows = toIndex(b.rows);
  const size_t bCols = toIndex(b.cols);
  const Complex* aData = a.data.data();
  const Complex* bData = b.data.data();
  Complex* outData = out.data.data();
  const int64_t columns = out.cols;
  const int64_t rowsPerUnit = out.rows;
  // Tall columns are split into pieces of whole runs of b.
  const size_t piecesPerColumn = std::clamp<size_t>(toIndex(rowsPerUnit / kChunkElements), 1, aRows);
  const size_t piece = (aRows + piecesPerColumn - 1) / piecesPerColumn;
  parallelFor(columns * static_cast<int64_t>(piecesPerColumn), chunkUnits(rowsPerUnit / static_cast<int64_t>(piecesPerColumn)),
              [&](int64_t first, int64_t last) {
                if (breakRequested()) return;
                for (int64_t unit = first; unit < last; ++unit) {
                  const size_t column = static_cast<size_t>(unit) / piecesPerColumn;
                  const size_t firstRow = (static_cast<size_t>(unit) % piecesPerColumn) * piece;
                  const size_t endRow = std::min(aRows, firstRow + piece);
                  if (firstRow >= endRow) continue;
                  const Complex* aColumn = aData + (column / bCols) * aRows;
                  const Complex* bColumn = bData + (column % bCols) * bRows;
                  Complex* target = outData + column * aRows * bRows + firstRow * bRows;
                  for (size_t ia = firstRow; ia < endRow; ++ia) {
                    const Complex factor = aColumn[ia];
                    for (size_t ib = 0; ib < bRows; ++ib) *target++ = complexProduct(factor, bColumn[ib]);
                  }
                }
              });
}

namespace {

// The operator at position k between the subsystems before it (high) and
// after it (low). A k outside the system replaces no factor: the whole
// system's identity, met as a 1 × 1 identity on a last, invisible subsystem.
struct Placement {
  bool inSystem;
  int64_t high;
  int64_t low;
};

Placement placement(const std::vector<int32_t>& dims, int32_t k) {
  if (k >= 0 && static_cast<size_t>(k) < dims.size()) {
    const size_t position = static_cast<size_t>(k);
    return Placement{true, dimensionProduct(dims, 0, position), dimensionProduct(dims, position + 1, dims.size())};
  }
  return Placement{false, dimensionProduct(dims, 0, dims.size()), 1};
}

}  // namespace

WidenedShape widenedShape(const std::vector<int32_t>& dims, int32_t k, const Matrix& g) {
  const Placement at = placement(dims, k);
  const int64_t rows = at.inSystem ? g.rows : 1;
  const int64_t cols = at.inSystem ? g.cols : 1;
  return WidenedShape{saturatingProduct(saturatingProduct(at.high, rows), at.low),
                      saturatingProduct(saturatingProduct(at.high, cols), at.low)};
}

void applyOperator(const std::vector<int32_t>& dims, int32_t k, const Matrix& g, const Matrix& v, Matrix& out) {
  const Placement at = placement(dims, k);
  if (at.inSystem) {
    applyToSubsystem(g, at.high, at.low, v, out);
    return;
  }
  // The identity of the whole system: an exact copy, infinities and NaNs
  // included (a product with the widened identity would turn them to NaN).
  out.setSizeForOverwrite(v.rows, v.cols);
  const Complex* in = v.data.data();
  Complex* copy = out.data.data();
  parallelFor(static_cast<int64_t>(v.data.size()), kChunkElements, [&](int64_t first, int64_t last) {
    if (breakRequested()) return;
    std::memcpy(static_cast<void*>(copy + first), in + first, static_cast<size_t>(last - first) * sizeof(Complex));
  });
}

namespace {

// One subsystem as an axis of the gather: its dimension, the distance
// between its neighbouring indices in the state, and the distance between
// their squares in the gathered buffer.
struct Axis {
  size_t size;
  size_t memoryStride;
  size_t bufferStride;
  bool measured;
};

// Walks the index combinations of [axes] (given in memory order: the first
// axis, of smallest memory stride, turns fastest) in increasing memory
// order, giving each one's offset in the state and in the buffer.
class AxisWalk {
 public:
  explicit AxisWalk(const std::vector<Axis>& axes) : axes_(axes), digits_(axes.size(), 0) {}
  // Moves to the [index]th combination in memory order.
  void seek(size_t index) {
    memory_ = 0;
    buffer_ = 0;
    for (size_t i = 0; i < axes_.size(); ++i) {
      digits_[i] = index % axes_[i].size;
      index /= axes_[i].size;
      memory_ += digits_[i] * axes_[i].memoryStride;
      buffer_ += digits_[i] * axes_[i].bufferStride;
    }
  }
  size_t memory() const { return memory_; }
  size_t buffer() const { return buffer_; }
  void advance() {
    for (size_t i = 0; i < axes_.size(); ++i) {
      memory_ += axes_[i].memoryStride;
      buffer_ += axes_[i].bufferStride;
      if (++digits_[i] < axes_[i].size) return;
      memory_ -= axes_[i].size * axes_[i].memoryStride;
      buffer_ -= axes_[i].size * axes_[i].bufferStride;
      digits_[i] = 0;
    }
  }

 private:
  std::vector<Axis> axes_;
  std::vector<size_t> digits_;
  size_t memory_ = 0;
  size_t buffer_ = 0;
};

// The buffer offsets of the combinations 0 .. Π sizes - 1 of [axes], taken
// in memory order.
std::vector<size_t> bufferOffsets(const std::vector<Axis>& axes) {
  std::vector<size_t> offsets;
  AxisWalk walk(axes);
  size_t count = 1;
  for (const Axis& a : axes) count *= a.size;
  for (size_t i = 0; i < count; ++i, walk.advance()) offsets.push_back(walk.buffer());
  return offsets;
}

// The extent a gather tile grows to (unless one subsystem takes it past
// kTileExtent): columns of at least 16 amplitudes, read as one stripe per
// row, and at least 32 rows, whose squares are written as one run per
// column. Fewer rows would shorten the runs; more would mean more stripes
// read at once than the caches keep apart.
constexpr size_t kTileColumns = 16;
constexpr size_t kTileRows = 32;
constexpr size_t kTileExtent = 256;

// How the squares of a state are gathered in summation order. Each p[o]
// adds the squares of its amplitudes in odometer order, the lowest-numbered
// other subsystem turning fastest although it has the largest stride: walked
// directly, nearly every term would be a fresh cache line. So the squares are
// first gathered into a buffer laid out in summation order (outcome by
// outcome), and each p[o] then adds its part of the buffer front to back.
// The gather is a transposition done tile by tile: the subsystems of
// smallest stride (the last ones) span a tile's columns, read as one
// contiguous stripe per row; the first subsystems other than k span its
// rows, whose squares lie side by side in the buffer; every other subsystem
// picks the tile.
struct GatherPlan {
  size_t perOutcome = 0;             // squares per outcome
  size_t rows = 1;                   // a tile's rows
  size_t columns = 1;                // a tile's columns
  size_t tiles = 0;                  // how many tiles cover the state
  std::vector<Axis> tileAxes;        // the subsystems that pick the tile
  std::vector<size_t> columnBuffer;  // buffer offset of each column of a tile
  std::vector<size_t> rowMemory;     // state offset of each row's stripe in a tile
};

GatherPlan planGather(const std::vector<int32_t>& dims, size_t measured, size_t states, size_t tileLimit) {
  GatherPlan plan;
  plan.perOutcome = states / toIndex(dims[measured]);
  std::vector<Axis> axes;  // in memory order: the last subsystem first
  size_t memoryStride = 1;
  for (size_t s = dims.size(); s-- > 0;) {
    size_t bufferStride = plan.perOutcome;
    if (s != measured) {
      bufferStride = 1;
      for (size_t t = 0; t < s; ++t) {
        if (t != measured) bufferStride *= toIndex(dims[t]);
      }
    }
    if (dims[s] > 1) axes.push_back(Axis{toIndex(dims[s]), memoryStride, bufferStride, s == measured});
    memoryStride *= toIndex(dims[s]);
  }
  const size_t columnTarget = tileLimit == 0 ? kTileColumns : tileLimit;
  const size_t rowTarget = tileLimit == 0 ? kTileRows : tileLimit;
  // Columns: the axes of smallest memory stride, contiguous in the state.
  size_t columnAxes = 0;
  while (columnAxes < axes.size() && plan.columns < columnTarget &&
         plan.columns * axes[columnAxes].size <= kTileExtent) {
    plan.columns *= axes[columnAxes].size;
    ++columnAxes;
  }
  // Rows: the first subsystems other than k, contiguous in the buffer.
  std::vector<bool> isRow(axes.size(), false);
  for (size_t i = axes.size(); i-- > columnAxes;) {
    if (axes[i].measured) continue;
    if (plan.rows >= rowTarget || plan.rows * axes[i].size > kTileExtent) break;
    isRow[i] = true;
    plan.rows *= axes[i].size;
  }
  const std::vector<Axis> columnAxesPart(axes.begin(), axes.begin() + static_cast<std::ptrdiff_t>(columnAxes));
  std::vector<Axis> rowAxes;
  for (size_t i = columnAxes; i < axes.size(); ++i) (isRow[i] ? rowAxes : plan.tileAxes).push_back(axes[i]);
  plan.columnBuffer = bufferOffsets(columnAxesPart);
  plan.rowMemory.resize(plan.rows);
  // Row r's squares go to buffer offset r; its stripe starts here.
  AxisWalk walk(rowAxes);
  for (size_t i = 0; i < plan.rows; ++i, walk.advance()) plan.rowMemory[walk.buffer()] = walk.memory();
  plan.tiles = states / (plan.rows * plan.columns);
  return plan;
}

// Writes the square of every amplitude of [state] to its place in
// [squares], tile by tile as [plan] says; stops early on a break.
void gatherSquares(const Complex* state, const GatherPlan& plan, double* squares) {
  const size_t rows = plan.rows;
  const size_t columns = plan.columns;
  parallelFor(static_cast<int64_t>(plan.tiles), chunkUnits(static_cast<int64_t>(rows * columns)),
              [&](int64_t first, int64_t last) {
                if (breakRequested()) return;
                std::vector<double> tile(rows * columns);
                AxisWalk walk(plan.tileAxes);
                walk.seek(static_cast<size_t>(first));
                for (int64_t t = first; t < last; ++t, walk.advance()) {
                  const Complex* base = state + walk.memory();
                  for (size_t r = 0; r < rows; ++r) {
                    const Complex* stripe = base + plan.rowMemory[r];
                    for (size_t c = 0; c < columns; ++c) {
                      tile[c * rows + r] = squaredModulus(basisAmplitude(stripe[c]));
                    }
                  }
                  double* out = squares + walk.buffer();
                  for (size_t c = 0; c < columns; ++c) {
                    const double* from = tile.data() + c * rows;
                    double* to = out + plan.columnBuffer[c];
                    for (size_t r = 0; r < rows; ++r) to[r] = from[r];
                  }
                }
              });
}

// p[o] for each of [outcomes]: outcome o's [perOutcome] squares added from
// +0, front to back (one chain each, so the bits never depend on threads).
std::vector<double> sumEachOutcome(const double* squares, size_t outcomes, size_t perOutcome) {
  std::vector<double> p(outcomes, 0.0);
  parallelFor(static_cast<int64_t>(outcomes), 1, [&](int64_t first, int64_t last) {
    for (int64_t o = first; o < last; ++o) {
      const double* part = squares + static_cast<size_t>(o) * perOutcome;
      double sum = 0.0;
      for (size_t i = 0; i < perOutcome; ++i) sum += part[i];
      p[static_cast<size_t>(o)] = sum;
    }
  });
  return p;
}

}  // namespace

std::vector<double> subsystemProbabilities(const Matrix& v, const std::vector<int32_t>& dims, int32_t k,
                                           size_t tileLimit) {
  if (sumsInChunks(v.data.size())) return subsystemProbabilitiesInChunks(v, dims, k);
  const size_t measured = static_cast<size_t>(k);
  const size_t states = v.data.size();
  const GatherPlan plan = planGather(dims, measured, states, tileLimit);
  // Every square is written before it is read. A buffer of the state's own
  // size comes from the pool of large arrays (the spare a collapse or the
  // next result reuses); the squares fill half of it. Where memory is too
  // short for that, exactly the half they need.
  ElementArray storage;
  try {
    storage = ElementArray::forOverwrite(states);
  } catch (const std::bad_alloc&) {
    storage = ElementArray::forOverwrite((states + 1) / 2);
  }
  double* const squares = reinterpret_cast<double*>(storage.data());
  gatherSquares(v.data.data(), plan, squares);
  if (breakRequested()) return std::vector<double>(toIndex(dims[measured]), 0.0);
  return sumEachOutcome(squares, toIndex(dims[measured]), plan.perOutcome);
}

void collapseSubsystem(const Matrix& v, const std::vector<int32_t>& dims, int32_t k, int32_t outcome,
                       double rootProbability, Matrix& out) {
  const size_t measured = static_cast<size_t>(k);
  const size_t outcomes = toIndex(dims[measured]);
  const size_t run = toIndex(dimensionProduct(dims, measured + 1, dims.size()));
  out.setSizeForOverwrite(v.rows, 1);
  const Complex* in = v.data.data();
  Complex* result = out.data.data();
  const size_t kept = static_cast<size_t>(outcome);
  const size_t states = v.data.size();
  // Unit: one run of the state, all of one outcome of subsystem k.
  const int64_t runs = static_cast<int64_t>(v.data.size() / run);
  parallelFor(runs, chunkUnits(static_cast<int64_t>(run)), [&](int64_t first, int64_t last) {
    if (breakRequested()) return;
    size_t digit = static_cast<size_t>(first) % outcomes;  // the unit's outcome
    for (int64_t unit = first; unit < last; ++unit, digit = digit + 1 == outcomes ? 0 : digit + 1) {
      const size_t begin = static_cast<size_t>(unit) * run;
      // Runs of a cache line or more, but short, skip lines (quantum/prefetch.h).
      if (run >= 4 && run < kShortRun) {
        for (size_t i = begin; i < begin + run; i += 4) prefetchAhead(in, i, states);
      }
      if (digit != kept) {
        std::fill(result + begin, result + begin + run, Complex{0.0, 0.0});
        continue;
      }
      for (size_t i = begin; i < begin + run; ++i) {
        const Complex amplitude = basisAmplitude(in[i]);
        // The dense collapse scales the unit basis vector by amplitude / √p
        // and adds it to a zero vector: +0 plus the scaled unit entry.
        const Complex scaled = complexProduct(Complex{amplitude.re / rootProbability, amplitude.im / rootProbability}, Complex{1.0, 0.0});
        result[i] = Complex{0.0 + scaled.re, 0.0 + scaled.im};
      }
    }
  });
}

}  // namespace kernels
