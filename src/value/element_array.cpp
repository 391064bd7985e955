#include "value/element_array.h"

#include <sys/mman.h>

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <utility>
#include <vector>

#include "runtime/heap_policy.h"
#include "runtime/process_group.h"

namespace {

// Large arrays are mapped directly (asking for huge pages where the system
// grants them on request: the measurements walk a state in large strides)
// and kept, one per byte size, once freed, so the next result of that size
// (an operator applied to a state held in a variable) reuses one. The spares
// together never hold more than the largest array still in use: a state
// worked on keeps a spare of its size, while a session that drops its states
// gives their memory back. A request that finds no spare of its size drops
// the smaller spares first: a register growing by tensor products leaves no
// trail of outgrown arrays behind.
class ArrayPool {
 public:
  void* take(size_t bytes) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      countInUse(bytes, true);
      for (size_t i = 0; i < spares_.size(); ++i) {
        if (spares_[i].bytes == bytes) {
          void* block = spares_[i].block;
          dropSpare(i, false);
          return block;
        }
      }
      for (size_t i = spares_.size(); i-- > 0;) {
        if (spares_[i].bytes < bytes) dropSpare(i, true);
      }
    }
    void* block = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (block == MAP_FAILED) {
      std::lock_guard<std::mutex> lock(mutex_);
      countInUse(bytes, false);
      throw std::bad_alloc();
    }
#ifdef MADV_HUGEPAGE
    madvise(block, bytes, MADV_HUGEPAGE);
#endif
    return block;
  }

  void give(void* block, size_t bytes) {
    std::lock_guard<std::mutex> lock(mutex_);
    countInUse(bytes, false);
    const bool kept = std::any_of(spares_.begin(), spares_.end(), [bytes](const Spare& s) { return s.bytes == bytes; });
    if (kept) {
      munmap(block, bytes);
    } else {
      spares_.push_back(Spare{block, bytes});
      spareBytes_ += bytes;
    }
    trim();
  }

  size_t spareCount() {
    std::lock_guard<std::mutex> lock(mutex_);
    return spares_.size();
  }

  void dropAll() {
    std::lock_guard<std::mutex> lock(mutex_);
    while (!spares_.empty()) dropSpare(spares_.size() - 1, true);
  }

 private:
  struct Spare {
    void* block;
    size_t bytes;
  };

  // Counts one array of [bytes] more ([taken]) or less in use.
  void countInUse(size_t bytes, bool taken) {
    for (size_t i = 0; i < inUse_.size(); ++i) {
      if (inUse_[i].bytes != bytes) continue;
      if (taken) {
        ++inUse_[i].count;
      } else if (--inUse_[i].count == 0) {
        inUse_.erase(inUse_.begin() + static_cast<std::ptrdiff_t>(i));
      }
      return;
    }
    if (taken) inUse_.push_back(InUse{bytes, 1});
  }
  bool inUse(size_t bytes) const {
    return std::any_of(inUse_.begin(), inUse_.end(), [bytes](const InUse& u) { return u.bytes == bytes; });
  }

  // Drops spares until they hold no more than the largest array in use:
  // first those of sizes not in use, then the others, the largest first.
  void trim() {
    size_t largestInUse = 0;
    for (const InUse& u : inUse_) largestInUse = std::max(largestInUse, u.bytes);
    while (spareBytes_ > largestInUse) {
      size_t victim = 0;
      for (size_t i = 1; i < spares_.size(); ++i) {
        const bool idle = !inUse(spares_[i].bytes), victimIdle = !inUse(spares_[victim].bytes);
        if (idle != victimIdle ? idle : spares_[i].bytes > spares_[victim].bytes) victim = i;
      }
      dropSpare(victim, true);
    }
  }

  // Forgets spare [i], giving its memory back when [unmap].
  void dropSpare(size_t i, bool unmap) {
    if (unmap) munmap(spares_[i].block, spares_[i].bytes);
    spareBytes_ -= spares_[i].bytes;
    spares_.erase(spares_.begin() + static_cast<std::ptrdiff_t>(i));
  }

  struct InUse {
    size_t bytes;
    size_t count;
  };

  std::mutex mutex_;
  std::vector<Spare> spares_;
  size_t spareBytes_ = 0;
  std::vector<InUse> inUse_;  // pooled arrays handed out, by size
};

// Never destroyed: arrays may be freed by static objects after main returns.
ArrayPool& pool() {
  static ArrayPool* instance = new ArrayPool;
  return *instance;
}

size_t byteSize(size_t n) {
  if (n > SIZE_MAX / sizeof(Complex)) throw std::bad_alloc();
  return n * sizeof(Complex);
}

Complex* allocate(size_t n) {
  if (n == 0) return nullptr;
  const size_t bytes = byteSize(n);
  if (bytes >= kPooledArrayBytes) {
    // In a distributed run a large array is had by all processes or by
    // none, so one that runs out of memory fails the line everywhere.
    void* block = nullptr;
    try {
      block = pool().take(bytes);
    } catch (const std::bad_alloc&) {
    }
    if (!allocatedEverywhere(block != nullptr)) {
      if (block) pool().give(block, bytes);
      throw std::bad_alloc();
    }
    return static_cast<Complex*>(block);
  }
  void* block = std::malloc(bytes);
  if (!block) throw std::bad_alloc();
  return static_cast<Complex*>(block);
}

void deallocate(Complex* data, size_t n) {
  if (!data) return;
  const size_t bytes = n * sizeof(Complex);
  if (bytes >= kPooledArrayBytes) {
    pool().give(data, bytes);
  } else {
    std::free(data);
  }
}

}  // namespace

ElementArray::ElementArray(size_t n) : data_(allocate(n)), size_(n) {
  if (n > 0) std::memset(static_cast<void*>(data_), 0, n * sizeof(Complex));
}

ElementArray ElementArray::forOverwrite(size_t n) {
  ElementArray a;
  a.data_ = allocate(n);
  a.size_ = n;
  return a;
}

ElementArray::ElementArray(const ElementArray& other) : data_(allocate(other.size_)), size_(other.size_) {
  if (size_ > 0) std::memcpy(static_cast<void*>(data_), other.data_, size_ * sizeof(Complex));
}

ElementArray::ElementArray(ElementArray&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)), size_(std::exchange(other.size_, 0)) {}

ElementArray& ElementArray::operator=(const ElementArray& other) {
  if (this == &other) return *this;
  if (size_ == other.size_) {
    if (size_ > 0) std::memcpy(static_cast<void*>(data_), other.data_, size_ * sizeof(Complex));
    return *this;
  }
  ElementArray copy(other);
  swap(copy);
  return *this;
}

ElementArray& ElementArray::operator=(ElementArray&& other) noexcept {
  ElementArray taken(std::move(other));
  swap(taken);
  return *this;
}

ElementArray::~ElementArray() { deallocate(data_, size_); }

void ElementArray::swap(ElementArray& other) noexcept {
  std::swap(data_, other.data_);
  std::swap(size_, other.size_);
}

size_t pooledSpareCount() { return pool().spareCount(); }

void giveBackFreeMemory() {
  pool().dropAll();
  trimHeap();
}
