#include "value/printer.h"

#include <algorithm>
#include <cstdio>

#include "runtime/break_flag.h"
#include "runtime/console.h"

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
    // Only the file form can be long; the console form (at most 10 × 10)
    // also echoes the result after a break and must never raise one.
    if (all) poll.throwAfter(static_cast<uint64_t>(shownCols));
    line.clear();
    for (int32_t c = 0; c < shownCols; ++c) {
      const Complex& e = m(r, c);
      line += formatDouble(e.re);
      line += " + ";
      line += formatDouble(e.im);
      line += "i\t";
    }
    line += '\n';
    stream << line;
  }
  stream << '\n';
}

void printValue(const Object& value, std::ostream& stream, bool header, bool all) {
  if (!value.payload) {
    console() << "NULL";
    return;
  }
  if (header) stream << value.typeName() << ' ' << value.name << " = ";
  switch (value.type) {
    case ValueType::String:
      stream << value.getString();
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
      for (int32_t d : value.getSystem()) stream << d << ", ";
      break;
    case ValueType::Vector:
      for (double d : value.vectorValue()) stream << formatDouble(d) << ", ";
      break;
    case ValueType::Matrix:
      stream << '\n';
      printMatrix(value.getMatrix(), stream, all);
      break;
    case ValueType::None:
      break;
  }
}
