// show_state STATE [SYSTEM]: the ket in Dirac notation, one term per line.
#include <cmath>

#include "extensions/commands.h"
#include "extensions/state_view.h"
#include "quantum/kernels.h"
#include "value/printer.h"

namespace {

// An amplitude written as a coefficient: "0.5", "-0.5i", "(0.5 - 0.5i)".
std::string amplitudeText(Complex a) {
  if (a.im == 0.0) return formatDouble(a.re);
  if (a.re == 0.0) return formatDouble(a.im) + "i";
  std::string text = "(";
  text += formatDouble(a.re) + (std::signbit(a.im) ? " - " : " + ") + formatDouble(std::fabs(a.im)) + "i)";
  return text;
}

}  // namespace

namespace {

constexpr const char* kShowStateHelp =
    "show_state STATE [SYSTEM]\n"
    "  Prints the ket STATE (a one-column matrix) in Dirac notation, one term per\n"
    "  line: amplitude, basis ket and probability. Terms of amplitude exactly 0 are\n"
    "  left out. With SYSTEM, the ket has one digit per subsystem, subsystem 0\n"
    "  leftmost as apply_op counts (|1,12⟩ when a dimension exceeds 10); without\n"
    "  it, binary digits when the length is a power of two, else the row number.\n"
    "  Of more than 64 terms the 64 most probable are shown. A state whose\n"
    "  squared norm is not 1 is said to be so. The result is left as it was.\n"
    "  Example: show_state (tensor (get q.ket.1) (get q.ket.0)) (get pair)\n";

}  // namespace

static void extensionShowState(Call& call) {
  const Register reg = readRegister(evaluateArguments(call, 2, false), 1, 2, false);
  if (!checkRegister(call, reg)) return;
  const ShownTerms terms = chooseShownTerms(*reg.state, false);
  const Shown& shown = terms.shown;
  std::vector<std::vector<std::string>> rows;
  for (size_t j = 0; j < shown.outcomes.size(); ++j) {
    const Complex a = terms.amplitudes[j];
    rows.push_back({amplitudeText(a), reg.ket(shown.outcomes[j]), " p = " + formatDouble(kernels::squaredModulus(a))});
  }
  printColumns(call.out(), rows, "rl-");
  if (rows.empty()) call.out() << "(every amplitude is 0)\n";
  printHidden(call.out(), shown, "terms", "p = " + formatDouble(shown.hiddenWeight));
  if (!rows.empty()) printNormalisationNote(call.out(), reg);  // else all 0 was said
}

constexpr KeywordRow kRows[] = {
    {.name = "show_state", .aliases = "", .run = extensionShowState, .args = {1, 2, "my"},
     .group = "extension commands", .usage = "show_state STATE [SYSTEM]",
     .summary = "Prints the ket STATE in Dirac notation, one term per line.",
     .example = "show_state (tensor (get q.ket.1) (get q.ket.0)) (get pair)",
     .printed = "",
     .help = kShowStateHelp},
};

KeywordRows showStateCommand() { return kRows; }
