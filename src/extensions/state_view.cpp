#include "extensions/state_view.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <queue>

#include "quantum/chunked_sums.h"
#include "quantum/kernels.h"
#include "quantum/slice_kernels.h"
#include "runtime/break_flag.h"
#include "runtime/process_group.h"
#include "value/printer.h"

namespace {

bool isPowerOfTwo(size_t n) { return n >= 2 && (n & (n - 1)) == 0; }

std::string joined(const std::vector<int32_t>& dims) {
  std::string text;
  for (size_t s = 0; s < dims.size(); ++s) text += (s ? " ⊗ " : "") + decimal(dims[s]);
  return text;
}

}  // namespace

size_t Register::outcomeCount() const {
  return !bySubsystem ? static_cast<size_t>(length()) : static_cast<size_t>(dims[static_cast<size_t>(k)]);
}

std::function<double(size_t)> Register::probability() const {
  if (bySubsystem) {
    auto p = std::make_shared<const std::vector<double>>(state->isSlice()
                                                             ? kernels::sliceSubsystemProbabilities(*state, dims, k)
                                                             : kernels::subsystemProbabilities(*state, dims, k));
    throwIfBreak();  // a break stopped the kernel part-way
    return [p](size_t o) { return (*p)[o]; };
  }
  return [v = state](size_t o) { return kernels::squaredModulus(v->data[o]); };
}

std::string Register::ket(size_t outcome) const {
  std::string digits;
  if (bySubsystem || (!hasSystem && !isPowerOfTwo(outcomeCount()))) {
    digits = decimal(static_cast<int64_t>(outcome));
  } else if (!hasSystem) {
    for (size_t bit = outcomeCount(); bit > 1; bit /= 2, outcome /= 2)
      digits.insert(digits.begin(), static_cast<char>('0' + outcome % 2));
  } else {
    // Subsystem 0 is the most significant digit of the basis number.
    const bool wide = std::any_of(dims.begin(), dims.end(), [](int32_t d) { return d > 10; });
    for (size_t s = dims.size(); s-- > 0;) {
      const size_t d = static_cast<size_t>(dims[s]);
      const std::string digit = decimal(static_cast<int64_t>(outcome % d));
      outcome /= d;
      digits.insert(0, (wide && s + 1 < dims.size()) ? digit + "," : digit);
    }
  }
  return "|" + digits + "⟩";
}

std::string Register::shape() const {
  if (bySubsystem) return "subsystem " + decimal(k) + " of " + joined(dims);
  if (hasSystem) return joined(dims);
  const size_t n = outcomeCount();
  if (!isPowerOfTwo(n)) return decimal(static_cast<int64_t>(n)) + (n == 1 ? " basis state" : " basis states");
  int qubits = 0;
  for (size_t m = n; m > 1; m /= 2) ++qubits;
  return decimal(qubits) + (qubits == 1 ? " qubit" : " qubits");
}

std::vector<Object> evaluateArguments(const Call& call, size_t system, bool withK, size_t extra) {
  const size_t given = std::min(call.tokenCount() - 1, (withK ? system + 1 : system) + extra);
  std::vector<Object> args(std::max(given, system - 1) + 1);
  for (size_t i = 1; i < args.size(); ++i) args[i] = call.argument(i).take();
  return args;
}

Register readRegister(const std::vector<Object>& args, size_t state, size_t system, bool withK) {
  Register reg;
  reg.stateValue = args[state];
  reg.bySubsystem = withK && args.size() > system + 1;
  // Read slice by slice: a split column stays split.
  reg.state = &reg.stateValue.matrixSlice();
  reg.hasSystem = args.size() > system;
  if (reg.hasSystem) reg.dims = args[system].getSystem();
  if (reg.bySubsystem) reg.k = args[system + 1].getInteger();
  return reg;
}

bool checkRegister(const Call& call, const Register& reg) {
  std::string problem;
  if (reg.state->cols != 1 || reg.length() < 1) {
    problem = "; state is not a column";
  } else if (reg.hasSystem && !call.dimensionsPositive(reg.dims)) {
    return false;
  } else if (reg.hasSystem &&
             (reg.dims.empty() || kernels::dimensionProduct(reg.dims, 0, reg.dims.size()) != reg.length())) {
    problem = "; system size differs from the state's length";
  } else if (reg.bySubsystem && (reg.k < 0 || static_cast<size_t>(reg.k) >= reg.dims.size())) {
    problem = "; subsystem index out of range";
  }
  if (!problem.empty()) call.syntaxError(problem);
  return problem.empty();
}

namespace {

// The at most kMostShown outcomes of 0 .. [count]-1 that [isTerm] accepts of
// largest [weight] (NaN first; ties: lower outcome first), ascending;
// [terms] counts the accepted ones.
std::vector<size_t> largestTerms(size_t count, const std::function<double(size_t)>& weight,
                                 const std::function<bool(size_t)>& isTerm, size_t& terms) {
  auto before = [&weight](size_t a, size_t b) {
    const double wa = weight(a), wb = weight(b);
    if (std::isnan(wa) != std::isnan(wb)) return std::isnan(wa);
    if (!std::isnan(wa) && wa != wb) return wa > wb;
    return a < b;
  };
  // The kept outcomes, the one ranked lowest on top so it goes first.
  std::priority_queue<size_t, std::vector<size_t>, decltype(before)> kept(before);
  terms = 0;
  BreakPoll poll;
  for (size_t i = 0; i < count; ++i) {
    poll.throwAfter(1);
    if (!isTerm(i)) continue;
    ++terms;
    if (kept.size() < kMostShown) {
      kept.push(i);
    } else if (before(i, kept.top())) {
      kept.pop();
      kept.push(i);
    }
  }
  std::vector<size_t> largest;
  for (; !kept.empty(); kept.pop()) largest.push_back(kept.top());
  std::sort(largest.begin(), largest.end());
  return largest;
}

// One process's pick among its rows, as sent to the others: a row number in
// the whole column and its amplitude.
struct Candidate {
  uint64_t row;
  Complex amplitude;
};
constexpr uint64_t kNoRow = ~uint64_t{0};

// chooseShownTerms for a column summed in chunks: every process's largest
// terms (the same rule picks the largest of all from the largest of each),
// the weight left out summed slice by slice.
ShownTerms chooseShownTermsInChunks(const Matrix& column, const std::function<bool(size_t)>& isTerm) {
  const Complex* v = column.data.data();
  const size_t rows = column.data.size();
  size_t ownTerms = 0;
  const std::vector<size_t> own =
      largestTerms(rows, [v](size_t i) { return kernels::squaredModulus(v[i]); }, isTerm, ownTerms);
  // Process r's record: its count of terms, then its picks, kNoRow after.
  std::vector<Candidate> mine(kMostShown + 1, Candidate{kNoRow, {}});
  mine[0].row = ownTerms;
  for (size_t j = 0; j < own.size(); ++j) mine[j + 1] = {static_cast<uint64_t>(column.firstRow) + own[j], v[own[j]]};
  const size_t processes = column.isSlice() ? processCount() : 1;
  std::vector<Candidate> all(mine.size() * processes);
  if (column.isSlice()) {
    gatherSlices(mine.data(), mine.size() * sizeof(Candidate), all.data());
  } else {
    all = mine;
  }
  size_t terms = 0;
  std::vector<Candidate> candidates;  // in row order: processes in order, each's picks ascending
  for (size_t r = 0; r < processes; ++r) {
    terms += all[r * mine.size()].row;
    for (size_t j = 1; j < mine.size() && all[r * mine.size() + j].row != kNoRow; ++j) {
      candidates.push_back(all[r * mine.size() + j]);
    }
  }
  size_t picked = 0;
  ShownTerms result;
  for (size_t j : largestTerms(
           candidates.size(), [&](size_t j) { return kernels::squaredModulus(candidates[j].amplitude); },
           [](size_t) { return true; }, picked)) {
    result.shown.outcomes.push_back(static_cast<size_t>(candidates[j].row));
    result.amplitudes.push_back(candidates[j].amplitude);
  }
  result.shown.hidden = terms - result.shown.outcomes.size();
  if (result.shown.hidden == 0) return result;
  // The rows shown count 0; every other row not a term has weight 0 anyway.
  const std::vector<size_t>& shown = result.shown.outcomes;
  size_t next = 0;
  const double left = kernels::sumInChunks(rows, [&](size_t i) {
    const size_t row = static_cast<size_t>(column.firstRow) + i;
    while (next < shown.size() && shown[next] < row) ++next;
    return next < shown.size() && shown[next] == row ? 0.0 : kernels::squaredModulus(v[i]);
  });
  result.shown.hiddenWeight = column.isSlice() ? kernels::combineSliceSums({left})[0] : left;
  throwIfBreak();  // a break stopped the sum part-way
  return result;
}

}  // namespace

Shown chooseShown(size_t count, const std::function<double(size_t)>& weight,
                  const std::function<bool(size_t)>& isTerm) {
  Shown shown;
  size_t terms = 0;
  shown.outcomes = largestTerms(count, weight, isTerm, terms);
  shown.hidden = terms - shown.outcomes.size();
  if (shown.hidden > 0) {
    BreakPoll poll;
    size_t next = 0;
    for (size_t i = 0; i < count; ++i) {
      poll.throwAfter(1);
      if (next < shown.outcomes.size() && shown.outcomes[next] == i) {
        ++next;
      } else if (isTerm(i)) {
        shown.hiddenWeight += weight(i);
      }
    }
  }
  return shown;
}

ShownTerms chooseShownTerms(const Matrix& column, bool byProbability) {
  const Complex* v = column.data.data();
  std::function<bool(size_t)> isTerm = [v](size_t i) { return !(v[i].re == 0.0 && v[i].im == 0.0); };
  if (byProbability) isTerm = [v](size_t i) { return kernels::squaredModulus(v[i]) != 0.0; };
  if (column.isSlice() || kernels::sumsInChunks(column.data.size())) return chooseShownTermsInChunks(column, isTerm);
  ShownTerms result;
  result.shown = chooseShown(column.data.size(), [v](size_t i) { return kernels::squaredModulus(v[i]); }, isTerm);
  for (size_t i : result.shown.outcomes) result.amplitudes.push_back(v[i]);
  return result;
}

ShownOutcomes chooseShownOutcomes(const Register& reg) {
  ShownOutcomes result;
  if (!reg.bySubsystem) {
    ShownTerms terms = chooseShownTerms(*reg.state, true);
    result.shown = std::move(terms.shown);
    for (Complex a : terms.amplitudes) result.probabilities.push_back(kernels::squaredModulus(a));
    return result;
  }
  const auto p = reg.probability();
  result.shown = chooseShown(reg.outcomeCount(), p, [&p](size_t o) { return p(o) != 0.0; });
  for (size_t o : result.shown.outcomes) result.probabilities.push_back(p(o));
  return result;
}

size_t columns(const std::string& text) {
  return static_cast<size_t>(std::count_if(text.begin(), text.end(), [](char c) { return (c & 0xC0) != 0x80; }));
}

std::string padRight(const std::string& text, size_t width) {
  const size_t used = columns(text);
  return used >= width ? text : text + std::string(width - used, ' ');
}

std::string percentText(double p) { return formatDouble(p * 100.0) + "%"; }

double printedPercent(double p) { return std::strtod(formatDouble(p * 100.0).c_str(), nullptr); }

std::string normalisationNote(const Register& reg) {
  // How far a state may drift from norm 1 by rounding and still count as normalised.
  constexpr double kTolerance = 1e-9;
  const ElementArray& v = reg.state->data;
  double norm = 0.0;
  if (reg.state->isSlice()) {
    norm = kernels::sliceSquaredNorm(*reg.state);
    throwIfBreak();
  } else if (kernels::sumsInChunks(v.size())) {
    norm = kernels::squaredNormInChunks(*reg.state);
    throwIfBreak();
  } else {
    BreakPoll poll;
    for (size_t i = 0; i < v.size(); ++i) {
      poll.throwAfter(1);
      norm += kernels::squaredModulus(v[i]);
    }
  }
  if (std::fabs(norm - 1.0) <= kTolerance) return {};
  const std::string printed = formatDouble(norm);
  // Six digits may round a small drift to "1": then the drift is named.
  if (printed == "1") return "the state is not normalised: its squared norm differs from 1 by " + formatDouble(norm - 1.0);
  return "the state is not normalised: its squared norm is " + printed;
}

void printNormalisationNote(std::ostream& out, const Register& reg) {
  const std::string note = normalisationNote(reg);
  if (!note.empty()) out << "(" << note << ")\n";
}

void printColumns(std::ostream& out, const std::vector<std::vector<std::string>>& rows, const std::string& align) {
  std::vector<size_t> width(align.size(), 0);
  for (const auto& row : rows) {
    for (size_t c = 0; c < row.size() && c < width.size(); ++c) width[c] = std::max(width[c], columns(row[c]));
  }
  for (const auto& row : rows) {
    for (size_t c = 0; c < row.size() && c < width.size(); ++c) {
      const std::string pad(width[c] - columns(row[c]), ' ');
      if (c > 0) out << ' ';
      if (align[c] == 'r') out << pad << row[c];
      if (align[c] == 'l') out << row[c] << pad;
      if (align[c] == '-') out << row[c];
    }
    out << "\n";
  }
}

void printHidden(std::ostream& out, const Shown& shown, const std::string& what, const std::string& together) {
  if (shown.hidden == 0) return;
  out << "(" << shown.hidden << " more " << what << " not shown, " << together << " together)\n";
}
