#include "quantum/split_layout.h"

#include <algorithm>

#include "quantum/slice_kernels.h"

namespace kernels {

namespace {

bool names(const std::vector<int32_t>& qubits, int32_t q) {
  return std::find(qubits.begin(), qubits.end(), q) != qubits.end();
}

}  // namespace

SplitLayout::SplitLayout(int32_t qubits, int32_t localQubits) : local_(localQubits) {
  for (int32_t p = 0; p < qubits; ++p) other_.push_back(p);
}

std::vector<int32_t> SplitLayout::positions(const std::vector<int32_t>& qubits) const {
  std::vector<int32_t> at;
  for (int32_t q : qubits) at.push_back(other_[static_cast<size_t>(q)]);
  return at;
}

bool SplitLayout::allLocal(const std::vector<int32_t>& qubits) const {
  return std::all_of(qubits.begin(), qubits.end(), [&](int32_t q) { return other_[static_cast<size_t>(q)] < local_; });
}

bool SplitLayout::bringLocal(Matrix& slice, const std::vector<int32_t>& qubits,
                             const std::function<uint64_t(int32_t)>& laterUse, const Matrix* source) {
  // A leading qubit of the gate at its own position, or one that goes back
  // there when a local qubit of the gate comes home, needs a free local
  // position: one at home whose qubit the gate does not name.
  size_t needed = 0;
  for (int32_t q : qubits) {
    const int32_t at = other_[static_cast<size_t>(q)];
    if (q >= local_ && (at == q || names(qubits, at))) ++needed;
  }
  std::vector<int32_t> free;
  for (int32_t s = local_ - 1; s >= 0; --s) {
    if (other_[static_cast<size_t>(s)] == s && !names(qubits, s)) free.push_back(s);
  }
  if (needed > free.size()) return false;
  source_ = source;
  // The gate's local qubits that sit at leading positions come home.
  for (int32_t q : qubits) {
    const int32_t at = other_[static_cast<size_t>(q)];
    if (q < local_ && at != q) swap(slice, at, q);
  }
  // Free positions from the one needed last (the highest among equals).
  std::stable_sort(free.begin(), free.end(), [&](int32_t a, int32_t b) { return laterUse(a) > laterUse(b); });
  size_t next = 0;
  for (int32_t q : qubits) {
    if (q >= local_ && other_[static_cast<size_t>(q)] == q) swap(slice, q, free[next++]);
  }
  if (source_) std::copy(source_->data.begin(), source_->data.end(), slice.data.begin());  // nothing moved
  source_ = nullptr;
  return true;
}

void SplitLayout::restore(Matrix& slice) {
  for (int32_t p = local_; p < static_cast<int32_t>(other_.size()); ++p) {
    if (other_[static_cast<size_t>(p)] != p) swap(slice, p, other_[static_cast<size_t>(p)]);
  }
}

bool SplitLayout::atHome() const {
  for (size_t p = 0; p < other_.size(); ++p) {
    if (other_[p] != static_cast<int32_t>(p)) return false;
  }
  return true;
}

void SplitLayout::swap(Matrix& slice, int32_t leading, int32_t local) {
  swapLeadingQubit(source_ ? *source_ : slice, slice, leading, local);
  source_ = nullptr;
  const bool undo = other_[static_cast<size_t>(leading)] == local;
  other_[static_cast<size_t>(leading)] = undo ? leading : local;
  other_[static_cast<size_t>(local)] = undo ? local : leading;
}

}  // namespace kernels
