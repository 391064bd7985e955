// What the state-viewing commands (show_state, histogram, sample,
// plot_file) share: reading STATE [SYSTEM [K]] with the built-ins' getters
// and diagnostics, the outcome probabilities, the ket labels, and the rule
// that picks the at most 64 lines shown of a large state.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "interp/call.h"

// The most terms, bars or counts a command shows; the rest are counted.
inline constexpr size_t kMostShown = 64;

// A state with the register it is read in: the whole register, or one
// subsystem of it when K is given.
struct Register {
  Object stateValue;              // holds the state's payload
  const Matrix* state = nullptr;  // checked: one column of at least one row
  bool hasSystem = false;
  std::vector<int32_t> dims;  // the system's dimensions (with SYSTEM)
  bool bySubsystem = false;   // K was given: the outcomes of subsystem k count
  int32_t k = 0;

  // The state's length (a column held split is read as this process's
  // slice).
  int32_t length() const { return state->isSlice() ? state->wholeRows : state->rows; }
  // Number of outcomes: the state's length, or the dimension of subsystem k.
  size_t outcomeCount() const;
  // The probability of an outcome: |amplitude|² of a basis state (of a
  // column held whole), or for a subsystem the numbers measure_distribution
  // gives. A register's are formed on demand, so a long state is never
  // copied.
  std::function<double(size_t)> probability() const;
  // The ket of [outcome]: "|01⟩" (one digit per subsystem, subsystem 0
  // leftmost; separated by commas when a dimension exceeds 10), binary
  // digits for a power-of-two length without SYSTEM, otherwise decimal.
  std::string ket(size_t outcome) const;
  // The register in words, for titles: "2 qubits", "3 ⊗ 2",
  // "subsystem 1 of 3 ⊗ 2", "5 basis states".
  std::string shape() const;
};

// Evaluates the arguments in token order, all before any is read: every
// token before [system] (a missing one reads as the empty text, as a
// built-in's does), then SYSTEM and, if [withK], K, then up to [extra]
// further ones when the expression has them. Entry i holds token i.
std::vector<Object> evaluateArguments(const Call& call, size_t system, bool withK, size_t extra = 0);

// Reads STATE from [args][state] and SYSTEM and K, when given, from
// [args][system] and the entry after it, with the getters (whose errors are
// thrown as a built-in's are). Nothing is checked yet.
Register readRegister(const std::vector<Object>& args, size_t state, size_t system, bool withK);

// Whether [reg] can be shown. Otherwise prints "Syntax error '…'; " and the
// reason: a state that is not one column, a SYSTEM with a dimension ≤ 0 or
// whose size differs from the state's length, a K outside the system.
bool checkRegister(const Call& call, const Register& reg);

// The outcomes shown out of 0 .. [count]-1, those that [isTerm] accepts:
// all of them when there are at most kMostShown, otherwise the kMostShown
// of largest [weight] (NaN first; ties: lower outcome first). Shown
// outcomes come in ascending order.
struct Shown {
  std::vector<size_t> outcomes;
  size_t hidden = 0;          // accepted outcomes left out
  double hiddenWeight = 0.0;  // their weight added up
};
Shown chooseShown(size_t count, const std::function<double(size_t)>& weight, const std::function<bool(size_t)>& isTerm);

// The basis states of [column] shown, as chooseShown picks them by
// |amplitude|² among those whose amplitude is not 0 (with [byProbability]:
// whose |amplitude|² is not 0), each with its amplitude. Of a column
// dovex-mpi sums in chunks the weight left out is summed by that rule
// (chunked_sums.h), and of one held split each process picks among its own
// rows and process 0's choice is merged from theirs: never gathered.
struct ShownTerms {
  Shown shown;
  std::vector<Complex> amplitudes;  // one per shown outcome
};
ShownTerms chooseShownTerms(const Matrix& column, bool byProbability);

// The outcomes histogram and plot_file show (those of probability other
// than 0), each with its probability.
struct ShownOutcomes {
  Shown shown;
  std::vector<double> probabilities;  // one per shown outcome
};
ShownOutcomes chooseShownOutcomes(const Register& reg);

// Pads [text] with spaces on the right to [width] columns (a ket's closing
// bracket counts as one column).
std::string padRight(const std::string& text, size_t width);
// Columns [text] takes on a terminal (UTF-8 continuation bytes take none).
size_t columns(const std::string& text);

// "12.5%": [p] as a percentage through the printer.
std::string percentText(double p);
// The percentage percentText prints, read back: equal texts give equal
// numbers, so what is drawn from it looks as equal as what is printed.
double printedPercent(double p);

// "the state is not normalised: its squared norm is 4" when the squared
// norm of [reg]'s state differs from 1 by more than 1e-9 (or is not a
// number); empty when it is normalised.
std::string normalisationNote(const Register& reg);
// Prints that note as a line of its own, in brackets, when there is one.
void printNormalisationNote(std::ostream& out, const Register& reg);

// Writes [rows] as aligned columns joined by one space, one row per line.
// [align] has a letter per column: 'r' right-aligns, 'l' left-aligns and
// pads, '-' writes the cell as it is (for the last column).
void printColumns(std::ostream& out, const std::vector<std::vector<std::string>>& rows, const std::string& align);

// The line that says what [shown] left out: "(N more [what] not shown,
// [together] together)"; nothing when nothing was left out.
void printHidden(std::ostream& out, const Shown& shown, const std::string& what, const std::string& together);
