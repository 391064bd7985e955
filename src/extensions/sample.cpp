// sample STATE N [SYSTEM [K]]: N shots drawn from the state's distribution
// without collapsing it; the counts per outcome as a vector.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <vector>

#include "extensions/commands.h"
#include "extensions/state_view.h"
#include "quantum/chunk_draws.h"
#include "runtime/break_flag.h"
#include "runtime/process_group.h"
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

constexpr const char* kNothingToDraw = "; probabilities do not add up to a positive number";

// The counts of [shots] draws from [reg]'s outcomes into [counts]: each
// draw compared with the running sums of the probabilities divided by their
// total. cumulative[o] / total: the last is exactly 1, and an outcome of
// probability 0 repeats its predecessor, so no draw below 1 can pick it.
// False when the probabilities do not add up (the error written).
bool countDraws(const Call& call, const Register& reg, int32_t shots, std::vector<double>& counts) {
  const auto p = reg.probability();
  std::vector<double> cumulative(reg.outcomeCount());
  double total = 0.0;
  BreakPoll poll;
  for (size_t o = 0; o < cumulative.size(); ++o) {
    poll.throwAfter(1);
    cumulative[o] = (total += p(o));
  }
  if (!(total > 0.0 && std::isfinite(total))) {
    call.syntaxError(kNothingToDraw);
    return false;
  }
  for (double& c : cumulative) c /= total;
  counts.assign(cumulative.size(), 0.0);
  for (int32_t shot = 0; shot < shots; ++shot) {
    if ((shot & 0xFFFF) == 0xFFFF) throwIfBreak();
    const double u = drawUniform();
    counts[static_cast<size_t>(std::upper_bound(cumulative.begin(), cumulative.end(), u) - cumulative.begin())] += 1;
  }
  return true;
}

// A vector of [size] zeros in [out] on every process, or the shared
// "out of memory" everywhere.
void zerosEverywhere(std::vector<double>& out, size_t size) {
  bool held = true;
  try {
    out.assign(size, 0.0);
  } catch (const std::bad_alloc&) {
    held = false;
  }
  if (!allocatedEverywhere(held)) throw std::bad_alloc();
}

// countDraws for the basis states of [column] (a slice of a column held
// split, or a whole one dovex-mpi sums in chunks), walked down the tree of
// chunk sums (quantum/chunk_draws.h): each process counts the draws that
// land in its rows, and the counts are gathered.
bool countDrawsInChunks(const Call& call, const Matrix& column, int32_t shots, std::vector<double>& counts) {
  const kernels::ChunkTree tree(column);
  throwIfBreak();  // a break stopped the sums part-way
  const double total = tree.total();
  if (!(total > 0.0 && std::isfinite(total))) {
    call.syntaxError(kNothingToDraw);
    return false;
  }
  std::vector<double> own;
  zerosEverywhere(own, column.data.size());
  for (int32_t shot = 0; shot < shots; ++shot) {
    if ((shot & 0xFFFF) == 0xFFFF) throwIfBreak();
    if (const auto row = tree.row(drawUniform())) own[*row - static_cast<size_t>(column.firstRow)] += 1;
  }
  if (!column.isSlice()) {
    counts = std::move(own);
    return true;
  }
  zerosEverywhere(counts, static_cast<size_t>(column.wholeRows));
  gatherSlices(own.data(), own.size() * sizeof(double), counts.data());
  return true;
}

}  // namespace

static void extensionSample(Call& call) {
  const std::vector<Object> args = evaluateArguments(call, 3, true);
  const Register reg = readRegister(args, 1, 3, true);
  const int32_t shots = args[2].getInteger();
  if (!checkRegister(call, reg)) return;
  if (shots < 0) return call.syntaxError("; shot count < 0");
#ifdef DOVEX_FUZZING
  // Shots are drawn one by one: many are correct but slow, so a fuzzing
  // build keeps them few.
  if (shots > (1 << 12)) return call.syntaxError("; shot count too large");
#endif

  std::vector<double> counts;
  if (!reg.bySubsystem && kernels::drawsInChunks(static_cast<size_t>(reg.length()))) {
    if (!countDrawsInChunks(call, *reg.state, shots, counts)) return;
  } else if (!countDraws(call, reg, shots, counts)) {
    return;
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
