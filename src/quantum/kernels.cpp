#include "quantum/kernels.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

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
  // of work is one tile of a run (or, for short runs, one block a) of one
  // column; its inputs are read once and its outputs written once.
  const size_t tiles = run >= kTile ? (run + kTile - 1) / kTile : 1;
  const size_t tileLength = run >= kTile ? kTile : run;
  const int64_t units = static_cast<int64_t>(columns * blocks * tiles);
  parallelFor(units, chunkUnits(static_cast<int64_t>(tileLength * gRows)), [&](int64_t first, int64_t last) {
    if (breakRequested()) return;
    for (int64_t unit = first; unit < last; ++unit) {
      const size_t u = static_cast<size_t>(unit);
      const size_t tile = u % tiles;
      const size_t a = (u / tiles) % blocks;
      const size_t col = u / (tiles * blocks);
      const Complex* in = inData + col * inRows + a * gCols * run;
      Complex* result = outData + col * outRows + a * gRows * run;
      const size_t b0 = tile * tileLength;
      const size_t length = std::min(tileLength, run - b0);
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

// The positions of [wheels] in increasing memory order, each with its
// odometer position: the last wheel (smallest stride) turns fastest.
struct Visit {
  size_t offset;
  size_t position;
};
std::vector<Visit> memoryOrder(const std::vector<Wheel>& wheels) {
  std::vector<Visit> visits{Visit{0, 0}};
  size_t weight = 1;
  std::vector<size_t> weights;
  for (const Wheel& w : wheels) {
    weights.push_back(weight);
    weight *= w.size;
  }
  for (size_t i = 0; i < wheels.size(); ++i) {
    const Wheel& w = wheels[i];
    std::vector<Visit> next;
    next.reserve(visits.size() * w.size);
    for (const Visit& v : visits) {
      for (size_t d = 0; d < w.size; ++d) next.push_back(Visit{v.offset + d * w.stride, v.position + d * weights[i]});
    }
    visits.swap(next);
  }
  return visits;
}

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
  // address, and then added in that order.
  size_t blockWheels = 0;
  size_t blockSize = 1;
  const size_t budget = std::max<size_t>(blockSquares / outcomes, 1);
  while (blockWheels < wheels.size() && blockSize * wheels[blockWheels].size <= budget) {
    blockSize *= wheels[blockWheels].size;
    ++blockWheels;
  }
  // Within a block, the first wheels up to at least 8 positions form the
  // rows of a transposition (one stripe each) and the others its columns.
  size_t rowWheels = 0;
  size_t rowCount = 1;
  while (rowWheels < blockWheels && rowCount < 8) {
    rowCount *= wheels[rowWheels].size;
    ++rowWheels;
  }
  const std::vector<Wheel> rowPart(wheels.begin(), wheels.begin() + static_cast<std::ptrdiff_t>(rowWheels));
  const std::vector<Wheel> columnPart(wheels.begin() + static_cast<std::ptrdiff_t>(rowWheels),
                                      wheels.begin() + static_cast<std::ptrdiff_t>(blockWheels));
  const std::vector<Wheel> blockPart(wheels.begin() + static_cast<std::ptrdiff_t>(blockWheels), wheels.end());
  const std::vector<size_t> rowOffsets = odometerOffsets(rowPart);
  const std::vector<Visit> columns = memoryOrder(columnPart);
  const std::vector<size_t> blockOffsets = odometerOffsets(blockPart);

  std::vector<double> squares(outcomes * blockSize);
  std::vector<double> p(outcomes, 0.0);
  constexpr size_t kColumnsPerChunk = 512;
  const size_t columnChunks = (columns.size() + kColumnsPerChunk - 1) / kColumnsPerChunk;
  for (size_t blockOffset : blockOffsets) {
    parallelFor(static_cast<int64_t>(outcomes * columnChunks), 1, [&](int64_t first, int64_t last) {
      if (breakRequested()) return;
      for (int64_t unit = first; unit < last; ++unit) {
        const size_t o = static_cast<size_t>(unit) / columnChunks;
        const size_t chunk = static_cast<size_t>(unit) % columnChunks;
        const Complex* base = state + blockOffset + o * outcomeStride;
        double* buffer = squares.data() + o * blockSize;
        const size_t end = std::min(columns.size(), (chunk + 1) * kColumnsPerChunk);
        for (size_t c = chunk * kColumnsPerChunk; c < end; ++c) {
          const Complex* column = base + columns[c].offset;
          double* target = buffer + columns[c].position * rowCount;
          for (size_t r = 0; r < rowCount; ++r) target[r] = squaredModulus(basisAmplitude(column[rowOffsets[r]]));
        }
      }
    });
    if (breakRequested()) break;
    parallelFor(static_cast<int64_t>(outcomes), 1, [&](int64_t first, int64_t last) {
      for (int64_t o = first; o < last; ++o) {
        const double* buffer = squares.data() + static_cast<size_t>(o) * blockSize;
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
