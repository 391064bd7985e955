// histogram STATE [SYSTEM [K]]: the outcome probabilities as text bars.
#include <algorithm>
#include <cmath>

#include "extensions/commands.h"
#include "extensions/state_view.h"

namespace {

// Character cells a probability of 1 fills; the terminal's width plays no part.
constexpr int kBarCells = 40;

// A bar of [p] × kBarCells cells, drawn in eighths of a cell; at least one
// eighth for any probability above 0, so no shown outcome looks empty. The
// length is worked out from the percentage as printed beside the bar, so
// probabilities that print alike draw alike, whatever rounding residue
// tells them apart.
std::string barText(double p) {
  static const char* const kEighths[] = {"", "▏", "▎", "▍", "▌", "▋", "▊", "▉"};
  const double percent = printedPercent(p);
  const double clamped = std::isnan(percent) ? 0.0 : std::clamp(percent, 0.0, 100.0);
  long eighths = std::lround(clamped * (kBarCells * 8) / 100.0);
  if (clamped > 0.0) eighths = std::max(eighths, 1L);
  std::string bar;
  for (long i = 0; i < eighths / 8; ++i) bar += "█";
  return padRight(bar + kEighths[eighths % 8], kBarCells);
}

}  // namespace

namespace {

constexpr const char* kHistogramHelp =
    "histogram STATE [SYSTEM [K]]\n"
    "  Prints the probability of each basis state of STATE as a bar of fixed width\n"
    "  (40 characters for 100%) with its ket and percentage; with SYSTEM and K, the\n"
    "  probabilities of the outcomes of subsystem K, the numbers\n"
    "  measure_distribution gives. Outcomes of probability 0 are left out; of more\n"
    "  than 64 the 64 most probable are shown. Kets as in show_state. The result\n"
    "  is left as it was. A state whose squared norm is not 1 is said to be so.\n"
    "  Example: histogram (get psi) (get pair) 1\n";

}  // namespace

static void extensionHistogram(Call& call) {
  const Register reg = readRegister(evaluateArguments(call, 2, true), 1, 2, true);
  if (!checkRegister(call, reg)) return;
  const ShownOutcomes chosen = chooseShownOutcomes(reg);
  const Shown& shown = chosen.shown;
  std::vector<std::vector<std::string>> rows;
  for (size_t j = 0; j < shown.outcomes.size(); ++j) {
    const double p = chosen.probabilities[j];
    rows.push_back({reg.ket(shown.outcomes[j]), barText(p), percentText(p)});
  }
  printColumns(call.out(), rows, "llr");
  if (rows.empty()) call.out() << "(every probability is 0)\n";
  printHidden(call.out(), shown, "outcomes", percentText(shown.hiddenWeight));
  if (!rows.empty()) printNormalisationNote(call.out(), reg);  // else all 0 was said
}

constexpr KeywordRow kRows[] = {
    {.name = "histogram", .aliases = "", .run = extensionHistogram, .args = {1, 3, "myi"},
     .group = "extension commands", .usage = "histogram STATE [SYSTEM [K]]",
     .summary = "Prints the outcome probabilities of STATE as bars.",
     .example = "histogram (get psi) (get pair) 1",
     .printed = "",
     .help = kHistogramHelp},
};

KeywordRows histogramCommand() { return kRows; }
