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

// A name to look up, with its hash.
struct VariableName {
  VariableName(const std::string& name) : text(name), hash(hashName(name)) {}
  VariableName(const char* name) : text(name), hash(hashName(text)) {}
  VariableName(std::string_view name, uint64_t nameHash) : text(name), hash(nameHash) {}

  std::string_view text;
  uint64_t hash;
};

// A hash table from names to entry numbers (open addressing, linear probing).
class NameIndex {
 public:
  static constexpr uint32_t kNone = UINT32_MAX;

  // The number stored for [name], or kNone.
  uint32_t find(const VariableName& name) const {
    if (slots_.empty()) return kNone;
    const size_t mask = slots_.size() - 1;
    for (size_t i = name.hash & mask;; i = (i + 1) & mask) {
      const Slot& s = slots_[i];
      if (!s.used) return kNone;
      if (s.hash == name.hash && s.key == name.text) return s.value;
    }
  }
  // The number stored for [name], made kNone first if the name is new.
  uint32_t& operator[](const VariableName& name);
  // Forgets [name].
  void erase(const VariableName& name);
  // Calls [f] with a reference to every stored number.
  template <typename F>
  void forEachValue(F&& f) {
    for (Slot& s : slots_) {
      if (s.used) f(s.value);
    }
  }

 private:
  struct Slot {
    std::string key;
    uint64_t hash = 0;
    uint32_t value = kNone;
    bool used = false;
  };
  void grow();

  std::vector<Slot> slots_;  // a power of two in size, at most half full
  size_t count_ = 0;
};
