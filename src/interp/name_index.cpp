#include "interp/name_index.h"

void NameIndex::erase(uint64_t hash, uint32_t value) {
  if (slots_.empty()) return;
  const size_t mask = slots_.size() - 1;
  size_t i = hash & mask;
  for (;; i = (i + 1) & mask) {
    if (slots_[i].value == kNone) return;
    if (slots_[i].value == value) break;
  }
  // Shift later members of the probe run back, so every name stays reachable
  // from its home slot without gaps.
  for (size_t j = (i + 1) & mask; slots_[j].value != kNone; j = (j + 1) & mask) {
    const size_t home = slots_[j].hash & mask;
    const bool staysPut = i <= j ? (i < home && home <= j) : (i < home || home <= j);
    if (staysPut) continue;
    slots_[i] = slots_[j];
    i = j;
  }
  slots_[i] = Slot{};
  --count_;
}

void NameIndex::grow(size_t count) {
  size_t size = slots_.empty() ? 16 : slots_.size() * 2;
  while (count * 2 > size) size *= 2;
  std::vector<Slot> old = std::move(slots_);
  slots_ = std::vector<Slot>(size);
  const size_t mask = slots_.size() - 1;
  for (const Slot& s : old) {
    if (s.value == kNone) continue;
    size_t i = s.hash & mask;
    while (slots_[i].value != kNone) i = (i + 1) & mask;
    slots_[i] = s;
  }
}
