#include "value/printer.h"

#include <algorithm>
#include <cstdio>

#include "runtime/break_flag.h"
#include "runtime/console.h"
#include "value/split_column.h"

namespace {

// Text is written in pieces of at most this many bytes between looks at the
// break flag.
constexpr size_t kPrintPieceBytes = size_t{16} << 10;
// Printing counts as work by the byte: the break flag is read about once per
// kPrintPieceBytes of text (BreakPoll's amount of work), so Ctrl-C stops any
// output at once, while a value shorter than that (the console's 10 × 10
// matrix, the echo after a break) is never cut.
constexpr uint64_t kPrintWorkPerByte = kBreakPollWork / kPrintPieceBytes;

// Writes [text] in pieces, polling between them.
void printText(const std::string& text, std::ostream& stream, BreakPoll& poll) {
  for (size_t at = 0; at < text.size(); at += kPrintPieceBytes) {
    const size_t piece = std::min(kPrintPieceBytes, text.size() - at);
    poll.throwAfter(piece * kPrintWorkPerByte);
    stream.write(text.data() + at, static_cast<std::streamsize>(piece));
  }
}

// Writes the rows of a column held split, all of them, as process 0 is
// handed them (the others write to nowhere).
void printSplitColumn(const Matrix& slice, std::ostream& stream) {
  constexpr size_t kChunk = size_t{1} << 14;  // amplitudes sent at once (256 KiB)
  std::string line;
  streamSlicesToLead(slice, kChunk, [&](const Complex* first, size_t count) {
    for (size_t i = 0; i < count; ++i) {
      line += formatDouble(first[i].re);
      line += " + ";
      line += formatDouble(first[i].im);
      line += "i\t\n";
      if (line.size() >= kPrintPieceBytes) {
        stream << line;
        line.clear();
      }
    }
  });
  stream << line << '\n';
}

}  // namespace

std::string formatDouble(double x) {
  char buffer[64];
  const int n = std::snprintf(buffer, sizeof buffer, "%g", x);
  return std::string(buffer, n > 0 ? static_cast<size_t>(n) : 0);
}

void printComplex(Complex z, std::ostream& stream) {
  stream << formatDouble(z.re) << " + " << formatDouble(z.im) << "i";
}

void printMatrix(const Matrix& m, std::ostream& stream, bool all) {
  if (!m.hasStorage()) return;
  const int32_t shownRows = all ? m.rows : std::min(m.rows, 10);
  const int32_t shownCols = all ? m.cols : std::min(m.cols, 10);
  std::string line;
  BreakPoll poll;
  for (int32_t r = 0; r < shownRows; ++r) {
    for (int32_t c = 0; c < shownCols; ++c) {
      const Complex& e = m(r, c);
      const size_t before = line.size();
      line += formatDouble(e.re);
      line += " + ";
      line += formatDouble(e.im);
      line += "i\t";
      poll.throwAfter((line.size() - before) * kPrintWorkPerByte);
      // A very long row goes out in pieces, so its text is never held whole.
      if (line.size() >= kPrintPieceBytes) {
        stream << line;
        line.clear();
      }
    }
    line += '\n';
    stream << line;
    line.clear();
  }
  stream << '\n';
}

void printValue(const Object& value, std::ostream& stream, bool header, bool all) {
  if (!value.payload) {
    console() << "NULL";
    return;
  }
  if (header) stream << value.typeName() << ' ' << value.name << " = ";
  BreakPoll poll;
  switch (value.type) {
    case ValueType::String:
      printText(value.getString(), stream, poll);
      break;
    case ValueType::Integer:
      stream << value.getInteger();
      break;
    case ValueType::Double:
      stream << formatDouble(value.getDouble());
      break;
    case ValueType::Complex:
      printComplex(value.getComplex(), stream);
      break;
    case ValueType::System:
      for (int32_t d : value.getSystem()) {
        const std::string text = std::to_string(d);
        poll.throwAfter((text.size() + 2) * kPrintWorkPerByte);
        stream << text << ", ";
      }
      break;
    case ValueType::Vector:
      for (double d : value.vectorValue()) {
        const std::string text = formatDouble(d);
        poll.throwAfter((text.size() + 2) * kPrintWorkPerByte);
        stream << text << ", ";
      }
      break;
    case ValueType::Matrix:
      stream << '\n';
      // The console shows the leading rows only, all of them in process 0's
      // slice of a column held split (the others print to nowhere); a file
      // has every slice streamed to process 0.
      if (!value.matrixSlice().isSlice()) {
        printMatrix(value.getMatrix(), stream, all);
      } else if (all) {
        printSplitColumn(value.matrixSlice(), stream);
      } else {
        printMatrix(value.matrixSlice(), stream, all);
      }
      break;
    case ValueType::None:
      break;
  }
}
