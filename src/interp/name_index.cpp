#include "interp/name_index.h"

#include <utility>

uint32_t& NameIndex::operator[](const VariableName& name) {
  if ((count_ + 1) * 2 > slots_.size()) grow();
  const size_t mask = slots_.size() - 1;
  size_t i = name.hash & mask;
  for (; slots_[i].used; i = (i + 1) & mask) {
    if (slots_[i].hash == name.hash && slots_[i].key == name.text) return slots_[i].value;
  }
  Slot& s = slots_[i];
  s.key.assign(name.text);
  s.hash = name.hash;
  s.value = kNone;
  s.used = true;
  ++count_;
  return s.value;
}

void NameIndex::erase(const VariableName& name) {
  if (slots_.empty()) return;
  const size_t mask = slots_.size() - 1;
  size_t i = name.hash & mask;
  for (;; i = (i + 1) & mask) {
    if (!slots_[i].used) return;
    if (slots_[i].hash == name.hash && slots_[i].key == name.text) break;
  }
  // Shift later members of the probe run back, so every key stays reachable
  // from its home slot without gaps.
  for (size_t j = (i + 1) & mask; slots_[j].used; j = (j + 1) & mask) {
    const size_t home = slots_[j].hash & mask;
    const bool staysPut = i <= j ? (i < home && home <= j) : (i < home || home <= j);
    if (staysPut) continue;
    slots_[i] = std::move(slots_[j]);
    i = j;
  }
  slots_[i] = Slot{};
  --count_;
}

void NameIndex::grow() {
  std::vector<Slot> old = std::move(slots_);
  slots_ = std::vector<Slot>(old.empty() ? 16 : old.size() * 2);
  const size_t mask = slots_.size() - 1;
  for (Slot& s : old) {
    if (!s.used) continue;
    size_t i = s.hash & mask;
    while (slots_[i].used) i = (i + 1) & mask;
    slots_[i] = std::move(s);
  }
}
