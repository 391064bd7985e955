// plot_file NAME STATE [SYSTEM [K]]: the histogram as a standalone SVG file.
#include "extensions/commands.h"
#include "extensions/state_view.h"
#include "extensions/svg_chart.h"

namespace {

constexpr const char* kPlotFileHelp =
    "plot_file NAME STATE [SYSTEM [K]]\n"
    "  Writes the histogram of STATE (or of the outcomes of subsystem K) as an SVG\n"
    "  image to the file NAME, created or emptied as new_file does: vertical bars\n"
    "  on a 0-100% axis, labelled with their kets, under a title that names the\n"
    "  register. Outcomes of probability 0 are left out; of more than 64 the 64\n"
    "  most probable are drawn. Open the file in any browser. The result is left\n"
    "  as it was.\n"
    "  Example: plot_file bell.svg (get psi) (get pair)\n";

}  // namespace

static void extensionPlotFile(Call& call) {
  const std::vector<Object> args = evaluateArguments(call, 3, true);
  const std::string name = args[1].getString();
  const Register reg = readRegister(args, 2, 3, true);
  if (!checkRegister(call, reg)) return;
  const auto p = reg.probability();
  const Shown shown = chooseShown(reg.outcomeCount(), p, [&p](size_t o) { return p(o) != 0.0; });
  std::vector<ChartBar> bars;
  for (size_t o : shown.outcomes) bars.push_back({reg.ket(o), p(o)});

  ChartText text{
      (reg.bySubsystem ? "Outcome probabilities of " : "Probabilities of the basis states of ") + reg.shape(), "",
      reg.bySubsystem ? "outcome" : "basis state"};
  if (bars.empty()) text.note = "every probability is 0";
  if (shown.hidden > 0) {
    text.note = "the " + decimal(static_cast<int64_t>(bars.size())) + " most probable of " +
                decimal(static_cast<int64_t>(bars.size() + shown.hidden)) + " outcomes; the others hold " +
                percentText(shown.hiddenWeight);
  }
  const FileDescriptor file = call.interp.files.openResultFile(name, FileUse::WriteTruncate);
  if (!file.isOpen()) return;
  const std::string svg = barChartSvg(text, bars);
  if (writeResultFile(file, name, svg)) noteFileWritten({name, "image/svg+xml", svg});
}

constexpr KeywordRow kRows[] = {
    {.name = "plot_file", .aliases = "", .run = extensionPlotFile, .args = {2, 4, "smyi"},
     .group = "extension commands", .usage = "plot_file NAME STATE [SYSTEM [K]]",
     .summary = "Writes the histogram of STATE as an SVG image to the file NAME.",
     .example = "plot_file bell.svg (get psi) (get pair)",
     .printed = "",
     .help = kPlotFileHelp},
};

KeywordRows plotFileCommand() { return kRows; }
