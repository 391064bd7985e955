// plot_file NAME STATE [SYSTEM [K]]: the histogram as a standalone SVG file.
#include "extensions/commands.h"
#include "extensions/state_view.h"
#include "extensions/svg_chart.h"

namespace {

constexpr const char* kPlotFileHelp =
    "plot_file NAME STATE [SYSTEM [K]] [full]\n"
    "  Writes the histogram of STATE (or of the outcomes of subsystem K) as an SVG\n"
    "  image to the file NAME, replaced whole (a write that fails or is cut short\n"
    "  leaves the old file): vertical bars labelled with their kets under a title\n"
    "  that names the register. The axis reaches the largest bar rounded up, with\n"
    "  round ticks; the word full as the last argument gives the fixed 0-100% axis\n"
    "  instead. Outcomes of probability 0 are left out; of more than 64 the 64\n"
    "  most probable are drawn. A state whose squared norm is not 1 is said to be\n"
    "  so under the title. Open the file in any browser. The result is left as it\n"
    "  was.\n"
    "  Example: plot_file bell.svg (get psi) (get pair) full\n";

// The word that asks for the fixed 0-100 % axis.
constexpr const char* kFullScale = "full";

// The chart's title: what is plotted, of which register.
std::string chartTitle(const Register& reg) {
  const std::string shape = reg.shape();
  if (reg.bySubsystem) return "Outcome probabilities of " + shape;
  if (shape.ends_with("basis state")) return "Probability of " + shape;
  if (shape.ends_with("basis states")) return "Probabilities of " + shape;
  return "Probabilities of the basis states of " + shape;
}

// The smaller line under the title: what was left out, and whether the
// state is normalised; empty when there is nothing to say.
std::string chartNote(const Register& reg, const Shown& shown) {
  std::string note;
  if (shown.outcomes.empty()) note = "every probability is 0";
  if (shown.hidden > 0) {
    note = "the " + decimal(static_cast<int64_t>(shown.outcomes.size())) + " most probable of " +
           decimal(static_cast<int64_t>(shown.outcomes.size() + shown.hidden)) + " outcomes; the others hold " +
           percentText(shown.hiddenWeight);
  }
  const std::string norm = shown.outcomes.empty() ? std::string() : normalisationNote(reg);
  if (!norm.empty()) note += (note.empty() ? "" : "; ") + norm;
  return note;
}

}  // namespace

static void extensionPlotFile(Call& call) {
  std::vector<Object> args = evaluateArguments(call, 3, true, 1);
  // A string after STATE as the last argument, or any fifth one, names the scale.
  ChartScale scale = ChartScale::Fitted;
  if (args.size() > 5 || (args.size() > 3 && args.back().is(ValueType::String))) {
    if (!args.back().is(ValueType::String) || args.back().getString() != kFullScale) {
      return call.syntaxError("; unknown last argument '" + call.token(args.size() - 1) + "' (" + kFullScale +
                              " asks for the 0-100% axis)");
    }
    scale = ChartScale::Full;
    args.pop_back();
  }
  const std::string name = args[1].getString();
  const Register reg = readRegister(args, 2, 3, true);
  if (!checkRegister(call, reg)) return;
  const ShownOutcomes chosen = chooseShownOutcomes(reg);
  const Shown& shown = chosen.shown;
  std::vector<ChartBar> bars;
  for (size_t j = 0; j < shown.outcomes.size(); ++j) bars.push_back({reg.ket(shown.outcomes[j]), chosen.probabilities[j]});
  const ChartText text{chartTitle(reg), chartNote(reg, shown), reg.bySubsystem ? "outcome" : "basis state"};
  const std::string svg = barChartSvg(text, bars, scale);
  if (call.interp.files.replaceResultFile(name, [&svg](int fd) { return writeAll(fd, svg.data(), svg.size()); })) {
    noteFileWritten({name, "image/svg+xml", svg});
  }
}

constexpr KeywordRow kRows[] = {
    {.name = "plot_file", .aliases = "", .run = extensionPlotFile, .args = {2, 5, "smyis"},
     .group = "extension commands", .usage = "plot_file NAME STATE [SYSTEM [K]] [full]",
     .summary = "Writes the histogram of STATE as an SVG image to the file NAME.",
     .example = "plot_file bell.svg (get psi) (get pair)",
     .printed = "",
     .help = kPlotFileHelp},
};

KeywordRows plotFileCommand() { return kRows; }
