#include "runtime/process_group.h"

namespace {
ProcessGroup* installed = nullptr;
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
