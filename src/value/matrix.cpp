#include "value/matrix.h"

#include <algorithm>
#include <new>
#include <ostream>

#include "runtime/break_flag.h"
#include "runtime/console.h"
#include "runtime/diagnostics.h"
#include "runtime/script_error.h"

bool fitsElementBudget(int64_t rows, int64_t cols) {
  if (rows <= 0 || cols <= 0) return true;
  if (rows > kMaxMatrixElements || cols > kMaxMatrixElements) return false;
  return rows * cols <= kMaxMatrixElements;
}

namespace {

[[noreturn]] void accessFailure(const Matrix& m, int32_t r, int32_t c) {
  diagnostic() << "Error 5 (" << static_cast<const void*>(m.data.data()) << ", " << r << ", " << m.rows
            << ", " << c << ", " << m.cols << ")\n";
  throw ScriptError("Error 1 in operator()");
}

bool validIndex(const Matrix& m, int32_t r, int32_t c) {
  return m.hasStorage() && r >= 0 && r < m.rows && c >= 0 && c < m.cols;
}

size_t flat(const Matrix& m, int32_t r, int32_t c) {
  return static_cast<size_t>(r) + static_cast<size_t>(c) * static_cast<size_t>(m.rows);
}

}  // namespace

Complex& Matrix::operator()(int32_t r, int32_t c) {
  if (!validIndex(*this, r, c)) accessFailure(*this, r, c);
  return data[flat(*this, r, c)];
}

const Complex& Matrix::operator()(int32_t r, int32_t c) const {
  if (!validIndex(*this, r, c)) accessFailure(*this, r, c);
  return data[flat(*this, r, c)];
}

bool Matrix::setSize(int32_t newRows, int32_t newCols) {
  if (newRows <= 0 || newCols <= 0) return false;
  if (hasStorage() && !isSlice() && rows == newRows && cols == newCols) return true;
  // Every caller checks the budget and reports it; this is the backstop.
  if (!fitsElementBudget(newRows, newCols)) throw std::bad_alloc();
  ElementArray fresh(static_cast<size_t>(newRows) * static_cast<size_t>(newCols));
  data.swap(fresh);
  wholeRows = firstRow = 0;
  rows = newRows;
  cols = newCols;
  count = newRows * newCols;
  return true;
}

bool Matrix::setSizeForOverwrite(int32_t newRows, int32_t newCols) {
  if (newRows <= 0 || newCols <= 0) return false;
  if (hasStorage() && !isSlice() && rows == newRows && cols == newCols) return true;
  if (!fitsElementBudget(newRows, newCols)) throw std::bad_alloc();
  // The old array goes back to the pool before the new one is taken, so a
  // reshape to the same byte size reuses it.
  release();
  data = ElementArray::forOverwrite(static_cast<size_t>(newRows) * static_cast<size_t>(newCols));
  rows = newRows;
  cols = newCols;
  count = newRows * newCols;
  return true;
}

void Matrix::release() {
  ElementArray().swap(data);
  rows = cols = count = wholeRows = firstRow = 0;
}

void Matrix::setZero() { std::fill(data.begin(), data.end(), Complex{}); }

void Matrix::setIdentity() {
  if (!hasStorage()) return;
  setZero();
  const int32_t n = std::min(rows, cols);
  for (int32_t i = 0; i < n; ++i) data[flat(*this, i, i)] = Complex{1.0, 0.0};
}

void Matrix::fill(Complex value) { std::fill(data.begin(), data.end(), value); }

void Matrix::setElement(int32_t r, int32_t c, Complex value) { (*this)(r, c) = value; }

void Matrix::scale(Complex s) {
  BreakPoll poll;
  for (Complex& e : data) {
    poll.throwAfter(1);
    e = complexProduct(s, e);
  }
}

Matrix& assignMatrix(Matrix& target, const Matrix& source) {
  if (&target == &source) return target;
  // An empty source would leave nothing to copy: refuse before touching the
  // target, so its elements survive the error.
  if (!source.hasStorage()) throw ScriptError("Error 1 in operator=\n");
  if (target.hasStorage() && target.rows == source.rows && target.cols == source.cols &&
      target.wholeRows == source.wholeRows && target.firstRow == source.firstRow) {
    std::copy(source.data.begin(), source.data.end(), target.data.begin());
    return target;
  }
  target.data = source.data;
  target.rows = source.rows;
  target.cols = source.cols;
  target.count = source.count;
  target.wholeRows = source.wholeRows;
  target.firstRow = source.firstRow;
  return target;
}

void adjoint(const Matrix& source, Matrix& out) {
  if (!source.hasStorage()) return;
  out.setSizeForOverwrite(source.cols, source.rows);
  BreakPoll poll;
  for (int32_t i = 0; i < source.rows; ++i) {
    poll.throwAfter(static_cast<uint64_t>(source.cols));
    for (int32_t j = 0; j < source.cols; ++j) {
      Complex e = source.data[flat(source, i, j)];
      e.im = e.im * -1.0;
      out.data[flat(out, j, i)] = e;
    }
  }
}

namespace {

template <typename Op>
void elementWise(const Matrix& a, const Matrix& b, Matrix& out, const char* message, Op op) {
  if (!a.hasStorage() || !b.hasStorage() || a.rows != b.rows || a.cols != b.cols) throw ScriptError(message);
  out.setSizeForOverwrite(a.rows, a.cols);
  BreakPoll poll;
  for (size_t k = 0; k < a.data.size(); ++k) {
    poll.throwAfter(1);
    out.data[k] = op(a.data[k], b.data[k]);
  }
}

}  // namespace

void addMatrix(const Matrix& a, const Matrix& b, Matrix& out) {
  elementWise(a, b, out, "Error - cannot add matrix\n",
              [](Complex x, Complex y) { return Complex{x.re + y.re, x.im + y.im}; });
}

void subtractMatrix(const Matrix& a, const Matrix& b, Matrix& out) {
  elementWise(a, b, out, "Error - cannot subtract matrix\n",
              [](Complex x, Complex y) { return Complex{x.re - y.re, x.im - y.im}; });
}

bool multiply(const Matrix& a, const Matrix& b, Matrix& out) {
  if (a.cols != b.rows) return false;
  if (!out.setSizeForOverwrite(a.rows, b.cols)) {
    out.release();
    return true;
  }
  const int32_t inner = a.cols;
  // Row i of a gathered once so the inner loop runs over contiguous memory;
  // the terms are still added in the order k = 0, 1, ...
  std::vector<Complex> row(static_cast<size_t>(inner));
  BreakPoll poll;
  for (int32_t i = 0; i < out.rows; ++i) {
    for (int32_t k = 0; k < inner; ++k) row[static_cast<size_t>(k)] = a.data[flat(a, i, k)];
    for (int32_t j = 0; j < out.cols; ++j) {
      poll.throwAfter(static_cast<uint64_t>(inner));
      const Complex* column = &b.data[flat(b, 0, j)];
      Complex sum{0.0, 0.0};
      for (int32_t k = 0; k < inner; ++k) {
        addProduct(sum, row[static_cast<size_t>(k)], column[k]);
      }
      out.data[flat(out, i, j)] = sum;
    }
  }
  return true;
}

bool multiplyFiniteBySparse(const Matrix& a, const Matrix& b, Matrix& out) {
  if (a.cols != b.rows) return false;
  if (!out.setSizeForOverwrite(a.rows, b.cols)) {
    out.release();
    return true;
  }
  std::vector<int32_t> terms;  // rows k of b's column j holding a non-zero entry
  BreakPoll poll;
  for (int32_t j = 0; j < out.cols; ++j) {
    const Complex* column = &b.data[flat(b, 0, j)];
    terms.clear();
    poll.throwAfter(static_cast<uint64_t>(b.rows));
    for (int32_t k = 0; k < b.rows; ++k) {
      if (column[k].re != 0.0 || column[k].im != 0.0) terms.push_back(k);
    }
    for (int32_t i = 0; i < out.rows; ++i) {
      poll.throwAfter(terms.size() + 1);
      Complex sum{0.0, 0.0};
      for (int32_t k : terms) {
        addProduct(sum, a.data[flat(a, i, k)], column[k]);
      }
      out.data[flat(out, i, j)] = sum;
    }
  }
  return true;
}

Complex dotProduct(const Matrix& a, const Matrix& b) {
  if (a.count != b.count) throw ScriptError("Dot product error 1\n");
  if (a.rows != 1 && a.cols != 1) throw ScriptError("Dot product error 2\n");
  if (b.cols != 1) throw ScriptError("Dot product error 3\n");
  Complex sum{0.0, 0.0};
  for (size_t k = 0; k < a.data.size(); ++k) {
    addProduct(sum, a.data[k], b.data[k]);
  }
  return sum;
}
