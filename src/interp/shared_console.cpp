#include "interp/shared_console.h"

#include "runtime/process_group.h"

namespace {
// Rounds of a loop between two shared looks at the break: a look costs one
// message to every process, a round of a small loop far less.
constexpr uint32_t kRoundsPerLook = 256;
}  // namespace

std::optional<std::string> SharedConsole::readLine(const std::string& prompt, size_t maxChars) {
  ProcessGroup* group = processGroup();
  // A break that came while no loop ran is forgotten, as at a fresh prompt.
  if (group) group->shareBreak();
  std::optional<std::string> line;
  if (leadsInputOutput()) line = lead_->readLine(prompt, maxChars);
  std::string text = line.value_or(std::string());
  if (!agreedFromLead(line.has_value())) return std::nullopt;
  shareFromLead(text);
  return text;
}

bool SharedConsole::keyPressed() {
  ProcessGroup* group = processGroup();
  if (!group || ++rounds_ < kRoundsPerLook) return false;
  rounds_ = 0;
  return group->shareBreak();
}
