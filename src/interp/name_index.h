// Variable names with their hash, and the table a scope finds its newest
// entry of a name in. A name read from a literal is hashed once, when its
// text is first split; the table probes by that hash and compares text only
// on a hash match.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The hash of a variable name (FNV-1a with a final mix).
inline uint64_t hashName(std::string_view text) {
  uint64_t h = 14695981039346656037ull;
  for (const char c : text) {
    h ^= static_cast<unsigned char>(c);
    h *= 1099511628211ull;
  }
  h ^= h >> 32;
  h *= 0x9E3779B97F4A7C15ull;
  return h ^ (h >> 29);
}

// Whether two names are the same text (names are short: compared in line).
inline bool sameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (a[i] != b[i]) return false;
  }
  return true;
}

// A name to look up, with its hash.
struct VariableName {
  VariableName(const std::string& name) : text(name), hash(hashName(name)) {}
  VariableName(const char* name) : text(name), hash(hashName(text)) {}
  VariableName(std::string_view name, uint64_t nameHash) : text(name), hash(nameHash) {}

  std::string_view text;
  uint64_t hash;
};

// A hash table from names to entry numbers (open addressing, linear
// probing). It keeps hashes and numbers only: the name a number stands for
// is read back through [nameOf], so the table holds no copies of names.
class NameIndex {
 public:
  static constexpr uint32_t kNone = UINT32_MAX;

  // The number stored for [name], or kNone.
  template <typename NameOf>
  uint32_t find(const VariableName& name, NameOf&& nameOf) const {
    if (slots_.empty()) return kNone;
    const size_t mask = slots_.size() - 1;
    for (size_t i = name.hash & mask;; i = (i + 1) & mask) {
      const Slot& s = slots_[i];
      if (s.value == kNone) return kNone;
      if (s.hash == static_cast<uint32_t>(name.hash) && sameName(nameOf(s.value), name.text)) return s.value;
    }
  }
  // The number stored for [name], made kNone first if the name is new (the
  // caller then stores a number that names it).
  template <typename NameOf>
  uint32_t& operator()(const VariableName& name, NameOf&& nameOf) {
    if ((count_ + 1) * 2 > slots_.size()) grow(count_ + 1);
    const size_t mask = slots_.size() - 1;
    const auto hash = static_cast<uint32_t>(name.hash);
    size_t i = name.hash & mask;
    for (; slots_[i].value != kNone; i = (i + 1) & mask) {
      if (slots_[i].hash == hash && sameName(nameOf(slots_[i].value), name.text)) return slots_[i].value;
    }
    slots_[i].hash = hash;
    ++count_;
    return slots_[i].value;
  }
  // Forgets the name stored with number [value] and hash [hash].
  void erase(uint64_t hash, uint32_t value);
  // Makes room for [count] names in all without growing again.
  void reserve(size_t count) {
    if (count * 2 > slots_.size()) grow(count);
  }
  // Calls [f] with a reference to every stored number.
  template <typename F>
  void forEachValue(F&& f) {
    for (Slot& s : slots_) {
      if (s.value != kNone) f(s.value);
    }
  }

 private:
  struct Slot {
    uint32_t hash = 0;       // the low half of the name's hash (the table is smaller than 2^32)
    uint32_t value = kNone;  // kNone: a free slot
  };
  // Rebuilds the table with room for [count] names.
  void grow(size_t count);

  std::vector<Slot> slots_;  // a power of two in size, at most half full
  size_t count_ = 0;
};
