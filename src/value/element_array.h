// The element storage of a matrix: a fixed-length array of Complex that is
// zero-filled only when asked to be. Arrays of a state vector's size come from
// a small process-wide pool that keeps one freed array per byte size, so a
// result of the same size as the last one freed reuses it instead of mapping
// fresh memory and faulting it in page by page (on any thread: the pool does
// not go through the allocator's per-thread arenas). The spares never hold
// more than the largest pooled array in use, so dropped states give their
// memory back.
#pragma once

#include <cstddef>

#include "value/complex.h"

class ElementArray {
 public:
  ElementArray() = default;
  // [n] elements, each 0 + 0i.
  explicit ElementArray(size_t n);
  ElementArray(const ElementArray& other);
  ElementArray(ElementArray&& other) noexcept;
  ElementArray& operator=(const ElementArray& other);
  ElementArray& operator=(ElementArray&& other) noexcept;
  ~ElementArray();

  // [n] elements whose values are unspecified: for callers that write every
  // element before anything reads it.
  static ElementArray forOverwrite(size_t n);

  size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  Complex* data() { return data_; }
  const Complex* data() const { return data_; }
  Complex& operator[](size_t i) { return data_[i]; }
  const Complex& operator[](size_t i) const { return data_[i]; }
  Complex* begin() { return data_; }
  Complex* end() { return data_ + size_; }
  const Complex* begin() const { return data_; }
  const Complex* end() const { return data_ + size_; }
  void swap(ElementArray& other) noexcept;

 private:
  Complex* data_ = nullptr;
  size_t size_ = 0;
};

// Arrays of at least this many bytes are served by the pool.
inline constexpr size_t kPooledArrayBytes = size_t{1} << 20;

// The number of spare arrays the pool holds now (for tests).
size_t pooledSpareCount();
// Gives the memory freed values leave behind back to the system: the spare
// arrays of the pool and the free space of the heap. For when the session
// waits for its user; a loop keeps both for its next round.
void giveBackFreeMemory();
