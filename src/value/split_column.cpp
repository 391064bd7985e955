#include "value/split_column.h"

#include <algorithm>
#include <bit>
#include <string>
#include <vector>

#include "runtime/diagnostics.h"
#include "runtime/process_group.h"
#include "runtime/script_error.h"

namespace {
// The reader a WholeStateReader names, or nullptr.
thread_local const char* reader = nullptr;

// The keyword reading values now: the one named by a WholeStateReader, else
// the innermost evaluation's (asked only when a refusal is written, so an
// evaluation pays nothing for it), else the printer (the shell printing a
// line's result).
std::string readerName() {
  if (reader) return reader;
  const DiagnosticLocator* locator = diagnosticLocator();
  const char* running = locator ? locator->runningKeyword() : nullptr;
  return running ? running : "print";
}
}  // namespace

bool heldSplit(int64_t rows, int64_t cols) {
  const int64_t processes = processCount();
  if (processes < 2 || cols != 1 || rows < processes || !std::has_single_bit(static_cast<uint64_t>(rows))) {
    return false;
  }
  return rows / processes >= splitMinimum();
}

void keepOwnSlice(Matrix& m) {
  if (m.isSlice() || !m.hasStorage() || !heldSplit(m.rows, m.cols)) return;
  const int32_t sliceRows = m.rows / static_cast<int32_t>(processCount());
  const int32_t first = sliceRows * static_cast<int32_t>(processRank());
  ElementArray slice = ElementArray::forOverwrite(static_cast<size_t>(sliceRows));
  std::copy(m.data.begin() + first, m.data.begin() + first + sliceRows, slice.begin());
  m.wholeRows = m.rows;
  m.firstRow = first;
  m.data.swap(slice);
  m.rows = m.count = sliceRows;
}

void gatherWhole(Matrix& m) {
  if (!m.isSlice()) return;
  if (!fitsElementBudget(m.wholeRows, 1)) {
    throw ScriptError(readerName() + " needs the whole state in one process (2^" +
                      std::to_string(std::countr_zero(static_cast<uint32_t>(m.wholeRows))) + " amplitudes)");
  }
  ElementArray whole = ElementArray::forOverwrite(static_cast<size_t>(m.wholeRows));
  gatherSlices(m.data.data(), m.data.size() * sizeof(Complex), whole.data());
  m.data.swap(whole);
  m.rows = m.count = m.wholeRows;
  m.wholeRows = m.firstRow = 0;
}

void streamSlicesToLead(const Matrix& slice, size_t chunkRows,
                        const std::function<void(const Complex* rows, size_t count)>& take) {
  const size_t rows = slice.data.size();
  std::vector<Complex> chunk(std::min(chunkRows, rows));
  std::vector<Complex> none(chunk.size());
  if (processRank() == 0) take(slice.data.data(), rows);
  for (uint32_t sender = 1; sender < processCount(); ++sender) {
    for (size_t begin = 0; begin < rows; begin += chunk.size()) {
      const size_t count = std::min(chunk.size(), rows - begin);
      if (processRank() == 0) {
        exchangeWith(sender, none.data(), chunk.data(), count * sizeof(Complex));
        take(chunk.data(), count);
      } else if (processRank() == sender) {
        exchangeWith(0, slice.data.data() + begin, none.data(), count * sizeof(Complex));
      }
    }
  }
}

WholeStateReader::WholeStateReader(const char* name) : outer_(reader) { reader = name; }

WholeStateReader::~WholeStateReader() { reader = outer_; }
