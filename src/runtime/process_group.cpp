#include "runtime/process_group.h"

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
