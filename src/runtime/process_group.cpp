#include "runtime/process_group.h"

#include <cstdlib>
#include <cstring>

#include "runtime/break_flag.h"

namespace {
ProcessGroup* installed = nullptr;
thread_local bool kernelWorker = false;
}  // namespace

ProcessGroup* processGroup() { return installed; }

ProcessGroup* setProcessGroup(ProcessGroup* group) {
  ProcessGroup* previous = installed;
  installed = group;
  return previous;
}

uint32_t processCount() { return installed ? installed->size() : 1; }

uint32_t processRank() { return installed ? installed->rank() : 0; }

int64_t splitMinimum() {
  static const int64_t minimum = [] {
    constexpr int64_t kDefault = int64_t{1} << 20;
    const char* text = std::getenv("DOVEX_SPLIT_MIN");
    if (!text || *text < '1' || *text > '9') return kDefault;
    char* end = nullptr;
    const unsigned long long n = std::strtoull(text, &end, 10);
    const bool powerOfTwo = n != 0 && (n & (n - 1)) == 0;
    if (*end != '\0' || !powerOfTwo || n < 256 || n > (1ULL << 30)) return kDefault;
    return static_cast<int64_t>(n);
  }();
  return minimum;
}

void gatherSlices(const void* slice, size_t sliceBytes, void* whole) {
  if (installed) {
    installed->gatherSlices(slice, sliceBytes, whole);
  } else if (sliceBytes != 0) {
    std::memcpy(whole, slice, sliceBytes);
  }
}

void exchangeWith(uint32_t partner, const void* send, void* receive, size_t bytes) {
  if (installed) installed->exchange(partner, send, receive, bytes);
}

void shiftWith(uint32_t to, const void* send, size_t sendBytes, uint32_t from, void* receive, size_t receiveBytes) {
  if (installed) installed->shift(to, send, sendBytes, from, receive, receiveBytes);
}

void lookForSharedBreak() {
  if (installed && !kernelWorker && installed->shareBreak()) requestBreak();
}

bool leadsInputOutput() { return !installed || installed->rank() == 0; }

bool agreedFromLead(bool value) { return agreedFromLead(uint64_t{value}) != 0; }

uint64_t agreedFromLead(uint64_t value) {
  if (installed) installed->shareWord(value);
  return value;
}

void shareFromLead(std::string& bytes) {
  if (installed) installed->shareBytes(bytes);
}

bool allocatedEverywhere(bool held) {
  if (!installed || kernelWorker) return held;
  return installed->allocatedEverywhere(held);
}

KernelSection::KernelSection() : outer_(kernelWorker) { kernelWorker = true; }

KernelSection::~KernelSection() { kernelWorker = outer_; }
