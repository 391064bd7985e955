// sample STATE N [SYSTEM [K]]: N shots drawn from the state's distribution
// without collapsing it; the counts per outcome as a vector.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>

#include "extensions/commands.h"
#include "extensions/state_view.h"
#include "runtime/break_flag.h"
#include "runtime/random_draws.h"

namespace {

constexpr const char* kSampleHelp =
    "sample STATE N [SYSTEM [K]]\n"
    "  Draws N shots from the probabilities of STATE (or, with SYSTEM and K, of\n"
    "  the outcomes of subsystem K) without collapsing it: each shot is a double\n"
    "  in [0, 1) from the generator (two of its draws) compared with the running\n"
    "  sums of the probabilities divided by their total. Prints the outcomes that\n"
    "  came up with their counts (at most 64 lines, the most frequent) and gives\n"
    "  the counts of all outcomes as a vector indexed by outcome. --seed repeats\n"
    "  them. A state whose squared norm is not 1 is said to be so.\n"
    "  Example: sample (get psi) 1000 (get pair)\n";

}  // namespace

static void extensionSample(Call& call) {
  const std::vector<Object> args = evaluateArguments(call, 3, true);
  const Register reg = readRegister(args, 1, 3, true);
  const int32_t shots = args[2].getInteger();
  if (!checkRegister(call, reg)) return;
  if (shots < 0) return call.syntaxError("; shot count < 0");

  // cumulative[o] / total: the last is exactly 1, and an outcome of
  // probability 0 repeats its predecessor, so no draw below 1 can pick it.
  const auto p = reg.probability();
  std::vector<double> cumulative(reg.outcomeCount());
  double total = 0.0;
  BreakPoll poll;
  for (size_t o = 0; o < cumulative.size(); ++o) {
    poll.throwAfter(1);
    cumulative[o] = (total += p(o));
  }
  if (!(total > 0.0 && std::isfinite(total)))
    return call.syntaxError("; probabilities do not add up to a positive number");
  for (double& c : cumulative) c /= total;

  std::vector<double> counts(cumulative.size(), 0.0);
  for (int32_t shot = 0; shot < shots; ++shot) {
    if ((shot & 0xFFFF) == 0xFFFF) throwIfBreak();
    const double u = drawUniform();
    counts[static_cast<size_t>(std::upper_bound(cumulative.begin(), cumulative.end(), u) - cumulative.begin())] += 1;
  }
  const Shown shown = chooseShown(
      counts.size(), [&counts](size_t o) { return counts[o]; }, [&counts](size_t o) { return counts[o] != 0.0; });
  std::vector<std::vector<std::string>> rows;
  for (size_t o : shown.outcomes) rows.push_back({reg.ket(o), decimal(static_cast<int64_t>(counts[o]))});
  printColumns(call.out(), rows, "lr");
  printHidden(call.out(), shown, "outcomes", decimal(static_cast<int64_t>(shown.hiddenWeight)) + " shots");
  printNormalisationNote(call.out(), reg);
  call.result.setVector(std::move(counts));
}

constexpr KeywordRow kRows[] = {
    {.name = "sample", .aliases = "", .run = extensionSample, .args = {2, 4, "miyi"},
     .group = "extension commands", .usage = "sample STATE N [SYSTEM [K]]",
     .summary = "Draws N shots from STATE without collapsing it; gives the counts as a vector.",
     .example = "sample (get psi) 1000 (get pair)",
     .printed = "",
     .help = kSampleHelp},
};

KeywordRows sampleCommand() { return kRows; }
