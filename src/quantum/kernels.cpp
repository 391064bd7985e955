#include "quantum/kernels.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <new>

#include "quantum/parallel.h"
#include "value/break_flag.h"

namespace kernels {

namespace {

// The amplitude the dense algorithms read for one basis state: the dot
// product of a unit basis vector with the state, +0 + (1 + 0i)·v.
Complex basisAmplitude(Complex v) {
  const Complex term = complexProduct(Complex{1.0, 0.0}, v);
  return Complex{0.0 + term.re, 0.0 + term.im};
}

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
              const Complex p = complexProduct(entry, source[b]);
              sums[b].re += p.re;
              sums[b].im += p.im;
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
              const Complex p = complexProduct(gData[r + k * gRows], in[k * run + b]);
              sum.re += p.re;
              sum.im += p.im;
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

// One subsystem other than the measured one, as a wheel of the odometer.
struct Wheel {
  size_t size;
  size_t stride;
};

// The subsystems other than [k] in odometer order: the lowest-numbered one
// first (it turns fastest, and has the largest stride). Wheels of dimension
// 1 never turn and are left out.
std::vector<Wheel> odometerWheels(const std::vector<int32_t>& dims, size_t k) {
  std::vector<Wheel> wheels;
  size_t stride = 1;
  for (size_t s = dims.size(); s-- > 0;) {
    if (s != k && dims[s] > 1) wheels.push_back(Wheel{toIndex(dims[s]), stride});
    stride *= toIndex(dims[s]);
  }
  return std::vector<Wheel>(wheels.rbegin(), wheels.rend());
}

// The memory offsets of the odometer positions 0 .. Π sizes - 1 of [wheels]
// (turned in odometer order: the first wheel fastest).
std::vector<size_t> odometerOffsets(const std::vector<Wheel>& wheels) {
  std::vector<size_t> offsets{0};
  for (const Wheel& w : wheels) {
    const size_t before = offsets.size();
    for (size_t d = 1; d < w.size; ++d) {
      for (size_t i = 0; i < before; ++i) offsets.push_back(offsets[i] + d * w.stride);
    }
  }
  return offsets;
}

// Walks the positions of [wheels] in increasing memory order (the last
// wheel, of smallest stride, turns fastest), giving each one's memory offset
// and its odometer position (the first wheel counts fastest) times [unit].
class MemoryWalk {
 public:
  MemoryWalk(const std::vector<Wheel>& wheels, size_t unit) : wheels_(wheels) {
    size_t weight = unit;
    for (const Wheel& w : wheels_) {
      weights_.push_back(weight);
      weight *= w.size;
    }
    digits_.assign(wheels_.size(), 0);
  }
  // Moves to the [index]th position in memory order.
  void seek(size_t index) {
    offset_ = 0;
    position_ = 0;
    for (size_t i = wheels_.size(); i-- > 0;) {
      digits_[i] = index % wheels_[i].size;
      index /= wheels_[i].size;
      offset_ += digits_[i] * wheels_[i].stride;
      position_ += digits_[i] * weights_[i];
    }
  }
  size_t offset() const { return offset_; }
  size_t position() const { return position_; }
  void advance() {
    for (size_t i = wheels_.size(); i-- > 0;) {
      offset_ += wheels_[i].stride;
      position_ += weights_[i];
      if (++digits_[i] < wheels_[i].size) return;
      offset_ -= wheels_[i].size * wheels_[i].stride;
      position_ -= wheels_[i].size * weights_[i];
      digits_[i] = 0;
    }
  }

 private:
  std::vector<Wheel> wheels_;
  std::vector<size_t> weights_;
  std::vector<size_t> digits_;
  size_t offset_ = 0;
  size_t position_ = 0;
};

}  // namespace

std::vector<double> subsystemProbabilities(const Matrix& v, const std::vector<int32_t>& dims, int32_t k,
                                           size_t blockSquares) {
  const size_t measured = static_cast<size_t>(k);
  const size_t outcomes = toIndex(dims[measured]);
  const size_t outcomeStride = toIndex(dimensionProduct(dims, measured + 1, dims.size()));
  const std::vector<Wheel> wheels = odometerWheels(dims, measured);
  const Complex* state = v.data.data();

  // Each p[o] adds the squares of its amplitudes in odometer order, whose
  // first wheels have the largest strides: walked directly, nearly every term
  // would be a fresh cache line. So the odometer positions are taken a block
  // at a time: the first wheels span one block, the remaining (small-stride)
  // wheels choose the block. The squares of a block are gathered into a
  // buffer in odometer order, reading memory in stripes of increasing
  // address, and then added in that order. A cache line holds several
  // amplitudes that lie far apart in odometer order; the larger the block,
  // the fewer times each line is read (half the squares: twice at most).
  if (blockSquares == 0) blockSquares = std::max(size_t{1} << 19, v.data.size() / 2);
  size_t blockWheels = 0;
  size_t blockSize = 1;
  const size_t budget = std::max<size_t>(blockSquares / outcomes, 1);
  while (blockWheels < wheels.size() && blockSize * wheels[blockWheels].size <= budget) {
    blockSize *= wheels[blockWheels].size;
    ++blockWheels;
  }
  // Within a block, the first wheels up to at least 32 positions form the
  // rows of a transposition (one stripe each) and the others its columns.
  size_t rowWheels = 0;
  size_t rowCount = 1;
  while (rowWheels < blockWheels && rowCount < 32) {
    rowCount *= wheels[rowWheels].size;
    ++rowWheels;
  }
  const std::vector<Wheel> rowPart(wheels.begin(), wheels.begin() + static_cast<std::ptrdiff_t>(rowWheels));
  const std::vector<Wheel> columnPart(wheels.begin() + static_cast<std::ptrdiff_t>(rowWheels),
                                      wheels.begin() + static_cast<std::ptrdiff_t>(blockWheels));
  const std::vector<Wheel> blockPart(wheels.begin() + static_cast<std::ptrdiff_t>(blockWheels), wheels.end());
  const std::vector<size_t> rowOffsets = odometerOffsets(rowPart);
  const size_t columnCount = blockSize / rowCount;
  const std::vector<size_t> blockOffsets = odometerOffsets(blockPart);

  // Reused from the pool of large arrays when large; every square is written
  // before it is read.
  ElementArray storage = ElementArray::forOverwrite((outcomes * blockSize + 1) / 2);
  double* const squares = reinterpret_cast<double*>(storage.data());
  std::vector<double> p(outcomes, 0.0);
  constexpr size_t kColumnsPerChunk = 512;
  const size_t columnChunks = (columnCount + kColumnsPerChunk - 1) / kColumnsPerChunk;
  for (size_t blockOffset : blockOffsets) {
    parallelFor(static_cast<int64_t>(outcomes * columnChunks), 1, [&](int64_t first, int64_t last) {
      if (breakRequested()) return;
      for (int64_t unit = first; unit < last; ++unit) {
        const size_t o = static_cast<size_t>(unit) / columnChunks;
        const size_t chunk = static_cast<size_t>(unit) % columnChunks;
        const Complex* base = state + blockOffset + o * outcomeStride;
        double* buffer = squares + o * blockSize;
        const size_t end = std::min(columnCount, (chunk + 1) * kColumnsPerChunk);
        MemoryWalk walk(columnPart, rowCount);
        walk.seek(chunk * kColumnsPerChunk);
        // A few neighbouring columns at a time, stripe by stripe, so each
        // cache line read is used up at once (the stripes lie a power of two
        // apart and would evict one another's lines).
        constexpr size_t kGroup = 8;
        size_t offsets[kGroup];
        size_t positions[kGroup];
        for (size_t c = chunk * kColumnsPerChunk; c < end;) {
          const size_t group = std::min(kGroup, end - c);
          for (size_t i = 0; i < group; ++i, walk.advance()) {
            offsets[i] = walk.offset();
            positions[i] = walk.position();
          }
          for (size_t r = 0; r < rowCount; ++r) {
            const Complex* stripe = base + rowOffsets[r];
            for (size_t i = 0; i < group; ++i) buffer[positions[i] + r] = squaredModulus(basisAmplitude(stripe[offsets[i]]));
          }
          c += group;
        }
      }
    });
    if (breakRequested()) break;
    parallelFor(static_cast<int64_t>(outcomes), 1, [&](int64_t first, int64_t last) {
      for (int64_t o = first; o < last; ++o) {
        const double* buffer = squares + static_cast<size_t>(o) * blockSize;
        double sum = p[static_cast<size_t>(o)];
        for (size_t i = 0; i < blockSize; ++i) sum += buffer[i];
        p[static_cast<size_t>(o)] = sum;
      }
    });
  }
  return p;
}

void collapseSubsystem(const Matrix& v, const std::vector<int32_t>& dims, int32_t k, int32_t outcome, double pSq,
                       Matrix& out) {
  const size_t measured = static_cast<size_t>(k);
  const size_t outcomes = toIndex(dims[measured]);
  const size_t run = toIndex(dimensionProduct(dims, measured + 1, dims.size()));
  out.setSizeForOverwrite(v.rows, 1);
  const Complex* in = v.data.data();
  Complex* result = out.data.data();
  const size_t kept = static_cast<size_t>(outcome);
  // Unit: one run of the state, all of one outcome of subsystem k.
  const int64_t runs = static_cast<int64_t>(v.data.size() / run);
  parallelFor(runs, chunkUnits(static_cast<int64_t>(run)), [&](int64_t first, int64_t last) {
    if (breakRequested()) return;
    for (int64_t unit = first; unit < last; ++unit) {
      const size_t begin = static_cast<size_t>(unit) * run;
      if (static_cast<size_t>(unit) % outcomes != kept) {
        std::fill(result + begin, result + begin + run, Complex{0.0, 0.0});
        continue;
      }
      for (size_t i = begin; i < begin + run; ++i) {
        const Complex amplitude = basisAmplitude(in[i]);
        // The dense collapse scales the unit basis vector by amplitude / pSq
        // and adds it to a zero vector: +0 plus the scaled unit entry.
        const Complex scaled = complexProduct(Complex{amplitude.re / pSq, amplitude.im / pSq}, Complex{1.0, 0.0});
        result[i] = Complex{0.0 + scaled.re, 0.0 + scaled.im};
      }
    }
  });
}

}  // namespace kernels
