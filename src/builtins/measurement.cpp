// Measurement: one qubit of a register, or one subsystem of a system, with
// collapse; or only the outcome probabilities of a subsystem.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <utility>

#include "quantum/kernels.h"
#include "quantum/qubit_bits.h"
#include "quantum/qubit_kernels.h"
#include "quantum/slice_kernels.h"
#include "builtins/keyword_tables.h"
#include "interp/call.h"
#include "runtime/break_flag.h"
#include "runtime/random_draws.h"
#include "runtime/script_error.h"
#include "value/printer.h"

namespace {

// A state checked against the system it is measured in.
struct SubsystemState {
  const Matrix& v;
  const std::vector<int32_t>& dims;
  int32_t k;
};

// Reads V, S and K and refuses what the measurement cannot walk: a K outside
// the system (printed, then thrown), a dimension ≤ 0 or a system beyond the
// element budget (printed; false ends the built-in), and a state whose shape
// is not one column of Π d_s rows (the dot product's errors, thrown).
bool checkSubsystemState(Call& call, const SubsystemState& state) {
  if (state.k < 0 || static_cast<size_t>(state.k) >= state.dims.size()) {
    call.syntaxError("; index out of bounds.");
    throw ScriptError("Syntax Error.");
  }
  if (!call.dimensionsPositive(state.dims)) return false;
  const int64_t states = kernels::dimensionProduct(state.dims, 0, state.dims.size());
  // A column held split may pass one process's budget (up to 2^30 rows).
  if (!call.sizeFits(states <= (state.v.isSlice() ? int64_t{1} << 30 : kMaxMatrixElements))) return false;
  if ((state.v.isSlice() ? state.v.wholeRows : state.v.count) != states) throw ScriptError("Dot product error 1\n");
  if (state.v.cols != 1) throw ScriptError("Dot product error 3\n");
  return true;
}

// The outcome probabilities of subsystem k; a break ends the line.
std::vector<double> probabilities(const SubsystemState& state) {
  std::vector<double> p = state.v.isSlice() ? kernels::sliceSubsystemProbabilities(state.v, state.dims, state.k)
                                            : kernels::subsystemProbabilities(state.v, state.dims, state.k);
  throwIfBreak();
  return p;
}

// The state collapsed onto [outcome]; a break ends the line.
Matrix collapse(const SubsystemState& state, int32_t outcome, double rootProbability) {
  Matrix collapsed;
  if (state.v.isSlice()) {
    kernels::collapseSliceSubsystem(state.v, state.dims, state.k, outcome, rootProbability, collapsed);
  } else {
    kernels::collapseSubsystem(state.v, state.dims, state.k, outcome, rootProbability, collapsed);
  }
  throwIfBreak();
  return collapsed;
}

// The outcome table of one subsystem: percentages, the probabilities used to
// renormalise, and the cumulative percentages the draw is compared with
// (-1 for an outcome of probability 0, which no draw can choose).
struct OutcomeTable {
  std::vector<double> prob;
  std::vector<double> cum;
};

OutcomeTable outcomeTable(const std::vector<double>& p, std::ostream* trace) {
  OutcomeTable table;
  double running = 0.0;
  for (size_t o = 0; o < p.size(); ++o) {
    const double pct = p[o] * 100.0;
    // The probability renormalised by is the percentage divided back, not
    // p itself: the round trip through 100 can change its last bit, and the
    // collapsed state's digits follow the language's rounding.
    table.prob.push_back(pct / 100.0);
    if (pct == 0.0) {
      table.cum.push_back(-1.0);
    } else {
      running += pct;
      table.cum.push_back(running);
    }
    if (trace) *trace << "p[" << o << "] = " << formatDouble(table.cum.back()) << "\n";
  }
  return table;
}

// The first outcome whose cumulative percentage exceeds [draw]; failing
// that (probabilities adding up to less than 1) the last outcome with a
// non-zero probability.
int32_t chooseOutcome(const OutcomeTable& table, double draw) {
  for (size_t o = 0; o < table.cum.size(); ++o) {
    if (draw < table.cum[o]) return static_cast<int32_t>(o);
  }
  for (size_t o = table.cum.size(); o-- > 0;) {
    if (table.cum[o] > 0) return static_cast<int32_t>(o);
  }
  throw ScriptError("Measurement error.\n");
}

// The arguments of a subsystem measurement: V, S, K and any further ones,
// all evaluated in order before the first is read.
class MeasurementArgs {
 public:
  MeasurementArgs(const Call& call, size_t count) {
    for (size_t i = 1; i <= count; ++i) values_.push_back(call.argument(i).take());
  }
  // V, S and K read in that order (their getters' errors end the line); a
  // column held split stays split, each process measuring its slice.
  SubsystemState state() const { return {values_[0].matrixSlice(), values_[1].getSystem(), values_[2].getInteger()}; }
  // Argument [i], counted from 1 like tokens.
  const Object& operator[](size_t i) const { return values_[i - 1]; }

 private:
  std::vector<Object> values_;
};

void storeInteger(Call& call, const std::string& name, int32_t value) {
  Object stored;
  stored.setInteger(value);
  const Scope::Assignment found = call.targetScope.assignVariable(name, stored);
  call.warnUnassigned(name, found, ValueType::Integer, true, "the outcome " + decimal(value));
}

}  // namespace

static void builtinMeasureQbit(Call& call) {
  const Arg stateValue = call.argument(1);
  if (!call.hasType(*stateValue, ValueType::Matrix, "type not matrix.")) return;
  const Arg qubitValue = call.argument(2);
  if (!call.hasType(*qubitValue, ValueType::Integer, "type not integer.")) return;
  const Arg nameValue = call.argument(3);
  const Matrix& v = stateValue->matrixSlice();  // a column held split stays split
  const int32_t q = qubitValue->getInteger();
  const int32_t bit = qubitBit(q);

  const double p0 = v.isSlice() ? kernels::sliceQubitZeroProbability(v, bit) : kernels::qubitZeroProbability(v, bit);
  throwIfBreak();
  const double draw = drawOnGrid();
  Matrix collapsed;
  if (!v.hasStorage()) assignMatrix(collapsed, v);  // throws the copy's error
  // Columns after the first are copied as they are; the first is written below.
  collapsed.setSizeForOverwrite(v.rows, v.cols);
  std::copy(v.data.begin() + v.rows, v.data.end(), collapsed.data.begin() + v.rows);
  const int32_t outcome = draw < p0 ? 0 : 1;
  storeInteger(call, nameValue->getString(), outcome);

  // Renormalising by 1 - p0 takes the state's total probability to be 1.
  const double factor = outcome == 0 ? 1.0 / std::sqrt(p0) : 1.0 / std::sqrt(1.0 - p0);
  if (v.isSlice()) {
    kernels::collapseSliceQubit(v, bit, outcome, factor, collapsed);
  } else {
    kernels::collapseQubit(v, bit, outcome, factor, collapsed);
  }
  throwIfBreak();
  call.result.setMatrix(std::move(collapsed));
}

static void builtinMeasure(Call& call) {
  const MeasurementArgs args(call, 4);
  const SubsystemState state = args.state();
  if (!checkSubsystemState(call, state)) return;
  const OutcomeTable table = outcomeTable(probabilities(state), nullptr);
  const double draw = drawPercentOnGrid();
  const int32_t outcome = chooseOutcome(table, draw);
  storeInteger(call, args[4].getString(), outcome);
  call.result.setMatrix(collapse(state, outcome, std::sqrt(table.prob[static_cast<size_t>(outcome)])));
}

static void builtinPartialMeasure(Call& call) {
  // Two trailing arguments are evaluated for their effects only.
  const MeasurementArgs args(call, 5);
  const SubsystemState state = args.state();
  if (!checkSubsystemState(call, state)) return;
  const OutcomeTable table = outcomeTable(probabilities(state), &call.out());
  const double draw = drawWholePercent();
  const int32_t outcome = chooseOutcome(table, draw);
  const double rootProbability = std::sqrt(table.prob[static_cast<size_t>(outcome)]);
  call.out() << "result = " << outcome << "\n";
  call.out() << "pSq = " << formatDouble(rootProbability) << "\n";
  call.result.setMatrix(collapse(state, outcome, rootProbability));
}

static void builtinMeasureDistribution(Call& call) {
  const MeasurementArgs args(call, 4);
  const SubsystemState state = args.state();
  if (!checkSubsystemState(call, state)) return;

  std::vector<double> p = probabilities(state);
  for (size_t o = 0; o < p.size(); ++o) {
    Object stored;
    stored.setDouble(p[o]);
    const std::string name = args[4].getString() + "." + decimal(static_cast<int64_t>(o));
    call.warnUnassigned(name, call.targetScope.assignVariable(name, stored), ValueType::Double, true,
                        "the probability");
  }
  call.result.setVector(std::move(p));
}

// Measurement, one row each.
constexpr KeywordRow kRows[] = {
    {.name = "measure_qbit", .aliases = "", .run = builtinMeasureQbit, .args = {3, 3, "min"},
     .group = "quantum", .usage = "measure_qbit PSI Q NAME",
     .summary = "Measures qubit Q of the state PSI: stores the outcome 0 or 1 in the integer variable NAME and gives the collapsed state.",
     .example = "begin (new integer bit) (print (measure_qbit (matrix 2 1 (complex 0 0) (complex 1 0)) 0 bit)) (get bit)",
     .printed = "matrix temp = \n0 + 0i\t\n1 + 0i\t\n\n\ninteger bit = 1\n"},
    {.name = "measure", .aliases = "", .run = builtinMeasure, .args = {4, 4, "myin"},
     .group = "quantum", .usage = "measure PSI SYS K NAME",
     .summary = "Measures subsystem K of the state PSI of the system SYS: stores the outcome in the integer variable NAME and gives the collapsed state.",
     .example = "begin (new space q 2) (new system pair 2 q q) (new integer k) (measure (tensor (get q.ket.1) (get q.ket.0)) (get pair) 0 k) (get k)",
     .printed = "integer k = 1\n"},
    {.name = "partial_measure", .aliases = "", .run = builtinPartialMeasure, .args = {3, 5, "myixx"},
     .group = "quantum", .usage = "partial_measure PSI SYS K",
     .summary = "Measures like measure, printing the cumulative percentages, the outcome and its amplitude instead of storing the outcome; gives the collapsed state.",
     .example = "begin (new space q 2) (new system one 1 q) (partial_measure (get q.ket.1) (get one) 0)",
     .printed = "p[0] = -1\np[1] = 100\nresult = 1\npSq = 1\nmatrix temp = \n0 + 0i\t\n"},
    {.name = "measure_distribution", .aliases = "", .run = builtinMeasureDistribution, .args = {4, 4, "myis"},
     .group = "quantum", .usage = "measure_distribution PSI SYS K PREFIX",
     .summary = "The probabilities of the outcomes of subsystem K as a vector, also stored in the double variables PREFIX.0, PREFIX.1, ... that exist.",
     .example = "begin (new space q 2) (new system one 1 q) (measure_distribution (get q.ket.1) (get one) 0 p)",
     .printed = "vector temp = 0, 1, \n"},
};

KeywordRows measurementKeywords() { return kRows; }
