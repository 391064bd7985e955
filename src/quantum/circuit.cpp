#include "quantum/circuit.h"

#include <algorithm>
#include <cstring>

#include "quantum/gate_kernels.h"
#include "quantum/parallel.h"
#include "quantum/simd_pair.h"
#include "runtime/break_flag.h"

namespace kernels {

namespace {

// Consecutive gates [first, end) and the qubits their blocks span
// (ascending): every qubit of those gates, the low qubits, and more low
// qubits up to the block size.
struct Pass {
  size_t first;
  size_t end;
  std::vector<int32_t> span;
};

std::vector<Pass> planPasses(const std::vector<std::vector<int32_t>>& gateQubits, int32_t n, const BlockShape& shape) {
  // At least four blocks where the state allows, so that threads share the work.
  const int32_t limit = std::max(1, std::min(shape.blockQubits, n - 2));
  const int32_t low = std::clamp(shape.lowQubits, 0, std::min(limit, n));
  std::vector<Pass> passes;
  std::vector<bool> spanned(static_cast<size_t>(n), false);
  int32_t high = 0;  // spanned qubits from [low] up
  auto close = [&](size_t end) {
    Pass pass{passes.empty() ? 0 : passes.back().end, end, {}};
    for (int32_t q = 0; q < n; ++q) {
      if (q < low || spanned[static_cast<size_t>(q)]) pass.span.push_back(q);
    }
    for (int32_t q = low; q < n && static_cast<int32_t>(pass.span.size()) < limit; ++q) {
      if (!spanned[static_cast<size_t>(q)]) pass.span.push_back(q);
    }
    std::sort(pass.span.begin(), pass.span.end());
    passes.push_back(std::move(pass));
    std::fill(spanned.begin(), spanned.end(), false);
    high = 0;
  };
  for (size_t g = 0; g < gateQubits.size(); ++g) {
    int32_t added = 0;
    for (int32_t q : gateQubits[g]) {
      if (q >= low && !spanned[static_cast<size_t>(q)]) ++added;
    }
    const bool empty = (passes.empty() ? 0 : passes.back().end) == g;
    if (!empty && low + high + added > limit) {
      close(g);
      added = 0;
      for (int32_t q : gateQubits[g]) added += q >= low ? 1 : 0;
    }
    for (int32_t q : gateQubits[g]) {
      if (q >= low) spanned[static_cast<size_t>(q)] = true;
    }
    high += added;
  }
  if (passes.empty() ? !gateQubits.empty() : passes.back().end < gateQubits.size()) close(gateQubits.size());
  return passes;
}

std::vector<std::vector<int32_t>> qubitsOf(const std::vector<CircuitGate>& gates) {
  std::vector<std::vector<int32_t>> qubits;
  for (const CircuitGate& g : gates) qubits.push_back(g.qubits);
  return qubits;
}

// [b] with a zero bit put in at each of the ascending positions [span].
size_t insertZeros(size_t b, const std::vector<int32_t>& span) {
  for (int32_t q : span) {
    const size_t p = static_cast<size_t>(q);
    b = ((b >> p) << (p + 1)) | (b & ((size_t{1} << p) - 1));
  }
  return b;
}

// One pass: every block gathered from [source], the pass's gates applied,
// and the block written to [target].
void runPass(const Pass& pass, const std::vector<PreparedGate>& prepared, int32_t n, const Complex* source,
             Complex* target, bool normalise) {
  const std::vector<int32_t>& span = pass.span;
  const size_t spanCount = span.size();
  const size_t blockLength = size_t{1} << spanCount;
  // A block is read in runs along its lowest consecutive qubits.
  size_t runBits = 0;
  while (runBits < spanCount && span[runBits] == static_cast<int32_t>(runBits)) ++runBits;
  const size_t runLength = size_t{1} << runBits;
  std::vector<size_t> runOffsets(blockLength >> runBits, 0);
  for (size_t w = 0; w < runOffsets.size(); ++w) {
    for (size_t j = runBits; j < spanCount; ++j) {
      if (((w >> (j - runBits)) & 1) != 0) runOffsets[w] |= size_t{1} << span[j];
    }
  }
  // Each gate's qubits as bit positions of the block.
  std::vector<std::vector<int32_t>> positions;
  for (size_t g = pass.first; g < pass.end; ++g) {
    std::vector<int32_t> p;
    for (int32_t q : prepared[g].sortedQubits()) {
      p.push_back(static_cast<int32_t>(std::lower_bound(span.begin(), span.end(), q) - span.begin()));
    }
    positions.push_back(std::move(p));
  }
  const size_t blocks = size_t{1} << (static_cast<size_t>(n) - spanCount);
  const int64_t grain = std::max<int64_t>(1, static_cast<int64_t>(blocks) / (8 * parallelThreadCount()));
  // Runs shorter than a page are asked for some 8 KiB ahead: the hardware
  // does not look across the gaps between them.
  const size_t ahead = runLength >= 256 ? 0 : std::max<size_t>(1, 512 / runLength);

  parallelFor(static_cast<int64_t>(blocks), grain, [&](int64_t first, int64_t last) {
    std::vector<Complex> buffer(blockLength);
    Complex* block = buffer.data();
    for (int64_t b = first; b < last; ++b) {
      if (breakRequested()) break;
      const size_t base = insertZeros(static_cast<size_t>(b), span);
      for (size_t w = 0; w < runOffsets.size(); ++w) {
        if (ahead != 0 && w + ahead < runOffsets.size()) {
          const Complex* next = source + base + runOffsets[w + ahead];
          for (size_t j = 0; j < runLength; j += 4) __builtin_prefetch(next + j);
        }
        const Complex* from = source + base + runOffsets[w];
        Complex* to = block + w * runLength;
        if (normalise) {
          for (size_t j = 0; j < runLength; ++j) simd::store(to + j, simd::add(simd::load(from + j), simd::zero()));
        } else {
          std::memcpy(to, from, runLength * sizeof(Complex));
        }
      }
      for (size_t g = pass.first; g < pass.end; ++g) {
        prepared[g].applyInPlace(block, blockLength, positions[g - pass.first].data());
      }
      for (size_t w = 0; w < runOffsets.size(); ++w) {
        Complex* to = target + base + runOffsets[w];
        const Complex* from = block + w * runLength;
        for (size_t j = 0; j < runLength; ++j) simd::streamStore(to + j, simd::load(from + j));
      }
    }
    simd::streamFence();
  });
}

}  // namespace

void applyGates(const std::vector<CircuitGate>& gates, int32_t n, const Complex* source, Complex* target,
                const BlockShape& shape) {
  const size_t length = size_t{1} << n;
  if (gates.empty()) {
    if (source != target) std::memcpy(target, source, length * sizeof(Complex));
    return;
  }
  std::vector<PreparedGate> prepared;
  prepared.reserve(gates.size());
  for (const CircuitGate& g : gates) prepared.emplace_back(*g.matrix, g.qubits);
  const std::vector<Pass> passes = planPasses(qubitsOf(gates), n, shape);
  for (size_t i = 0; i < passes.size(); ++i) {
    if (breakRequested()) return;
    runPass(passes[i], prepared, n, i == 0 ? source : target, target, i == 0);
  }
}

size_t passCount(const std::vector<CircuitGate>& gates, int32_t n, const BlockShape& shape) {
  return planPasses(qubitsOf(gates), n, shape).size();
}

}  // namespace kernels
