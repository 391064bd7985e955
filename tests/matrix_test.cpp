// The matrix library: shapes, copying, products and their error texts.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <sstream>

#include "quantum/reference.h"
#include "value/complex.h"
#include "transcript.h"
#include "runtime/console.h"
#include "runtime/script_error.h"
#include "value/matrix.h"

namespace {

Matrix make(int32_t rows, int32_t cols, std::initializer_list<Complex> rowMajor) {
  Matrix m;
  m.setSize(rows, cols);
  auto it = rowMajor.begin();
  for (int32_t r = 0; r < rows; ++r)
    for (int32_t c = 0; c < cols; ++c) m(r, c) = *it++;
  return m;
}

bool sameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }


struct CaptureConsole {
  std::ostringstream text;
  std::ostream* previous = setConsole(&text);
  ~CaptureConsole() { setConsole(previous); }
};

}  // namespace

TEST(Matrix, StorageIsColumnMajor) {
  Matrix m = make(2, 3, {{1, 0}, {2, 0}, {3, 0}, {4, 0}, {5, 0}, {6, 0}});
  EXPECT_EQ(m.data[1].re, 4);  // (1, 0)
  EXPECT_EQ(m.data[2].re, 2);  // (0, 1)
  EXPECT_EQ(m.count, 6);
}

TEST(Matrix, SetSizeKeepsSameShapeAndRefusesEmpty) {
  Matrix m = make(2, 2, {{1, 0}, {2, 0}, {3, 0}, {4, 0}});
  EXPECT_TRUE(m.setSize(2, 2));
  EXPECT_EQ(m(1, 1).re, 4);
  EXPECT_FALSE(m.setSize(0, 3));
  EXPECT_EQ(m.rows, 2);
  EXPECT_TRUE(m.setSize(3, 1));
  EXPECT_EQ(m(0, 0).re, 0);
  EXPECT_EQ(m.count, 3);
}

TEST(Matrix, IdentityOnNonSquareAndAdjointSignedZeros) {
  Matrix m;
  m.setSize(2, 3);
  m.setIdentity();
  EXPECT_EQ(m(0, 0).re, 1);
  EXPECT_EQ(m(1, 1).re, 1);
  EXPECT_EQ(m(0, 2).re, 0);
  Matrix a;
  adjoint(m, a);
  EXPECT_EQ(a.rows, 3);
  EXPECT_EQ(a.cols, 2);
  EXPECT_TRUE(sameBits(a(0, 0).im, -0.0));
  EXPECT_TRUE(std::signbit(a(2, 1).im));
}

TEST(Matrix, BadAccessPrintsLocationAndThrows) {
  CaptureConsole capture;
  Matrix m;
  m.setSize(2, 2);
  EXPECT_EQ(thrownMessage([&] { m(2, 0); }), "Error 1 in operator()");
  EXPECT_EQ(thrownMessage([&] { m(0, -1); }), "Error 1 in operator()");
  const std::string text = capture.text.str();
  EXPECT_EQ(text.rfind("Error 5 (0x", 0), 0u) << text;
  EXPECT_NE(text.find(", 2, 2, 0, 2)\n"), std::string::npos) << text;
  EXPECT_NE(text.find(", 0, 2, -1, 2)\n"), std::string::npos) << text;
}

TEST(Matrix, AssignFromEmptyFailsAndKeepsTheTarget) {
  Matrix target = make(1, 2, {{7, 0}, {8, 0}});
  Matrix empty;
  EXPECT_EQ(thrownMessage([&] { assignMatrix(target, empty); }), "Error 1 in operator=\n");
  EXPECT_EQ(target.count, 2);
  EXPECT_EQ(target(0, 1).re, 8);
  Matrix square = make(2, 2, {{1, 0}, {2, 0}, {3, 0}, {4, 0}});
  assignMatrix(target, square);
  EXPECT_EQ(target.rows, 2);
  EXPECT_EQ(target(1, 0).re, 3);
}

TEST(Matrix, SumsRequireEqualShapes) {
  Matrix a = make(1, 2, {{1, 1}, {2, 2}});
  Matrix b = make(1, 2, {{0.5, 0}, {1, -1}});
  Matrix out;
  addMatrix(a, b, out);
  EXPECT_EQ(out(0, 1).re, 3);
  EXPECT_EQ(out(0, 1).im, 1);
  subtractMatrix(a, b, out);
  EXPECT_EQ(out(0, 0).re, 0.5);
  Matrix c = make(2, 1, {{1, 0}, {1, 0}});
  EXPECT_EQ(thrownMessage([&] { addMatrix(a, c, out); }), "Error - cannot add matrix\n");
  EXPECT_EQ(thrownMessage([&] { subtractMatrix(a, c, out); }), "Error - cannot subtract matrix\n");
}

TEST(Matrix, ProductShapesAndRefusal) {
  Matrix bra = make(1, 2, {{1, 0}, {0, 1}});
  Matrix ket = make(2, 1, {{2, 0}, {0, 3}});
  Matrix out;
  ASSERT_TRUE(multiply(bra, ket, out));
  EXPECT_EQ(out.rows, 1);
  EXPECT_EQ(out(0, 0).re, 2 - 3);
  ASSERT_TRUE(multiply(ket, bra, out));
  EXPECT_EQ(out.rows, 2);
  EXPECT_EQ(out.cols, 2);
  EXPECT_EQ(out(1, 1).re, -3);
  Matrix untouched;
  EXPECT_FALSE(multiply(ket, ket, untouched));
  EXPECT_FALSE(untouched.hasStorage());
}

TEST(Matrix, ProductSumStartsAtPositiveZero) {
  // (-0)·1 + ... summed from +0 gives +0, as the dense product does.
  Matrix a = make(1, 1, {{-0.0, -0.0}});
  Matrix b = make(1, 1, {{1, 0}});
  Matrix out;
  multiply(a, b, out);
  EXPECT_TRUE(sameBits(out(0, 0).re, 0.0));
}

TEST(Matrix, KroneckerProductLeftFactorMostSignificant) {
  Matrix a = make(2, 1, {{1, 0}, {0, 0}});
  Matrix b = make(2, 1, {{0, 0}, {1, 0}});
  Matrix out;
  reference::tensorProduct(a, b, out);
  ASSERT_EQ(out.rows, 4);
  EXPECT_EQ(out(1, 0).re, 1);
  EXPECT_EQ(out(2, 0).re, 0);
  Matrix row = make(1, 3, {{1, 0}, {2, 0}, {3, 0}});
  Matrix square = make(2, 2, {{1, 0}, {0, 0}, {0, 0}, {1, 0}});
  reference::tensorProduct(square, row, out);
  EXPECT_EQ(out.rows, 2);
  EXPECT_EQ(out.cols, 6);
  EXPECT_EQ(out(1, 5).re, 3);
  Matrix empty;
  reference::tensorProduct(empty, row, out);
  EXPECT_FALSE(out.hasStorage());
}

TEST(Matrix, DotProductChecksInOrder) {
  Matrix col2 = make(2, 1, {{1, 0}, {2, 0}});
  Matrix row2 = make(1, 2, {{3, 0}, {4, 0}});
  Matrix col3 = make(3, 1, {{1, 0}, {1, 0}, {1, 0}});
  Matrix square = make(2, 2, {{1, 0}, {0, 0}, {0, 0}, {1, 0}});
  Matrix sq4 = make(4, 1, {{1, 0}, {0, 0}, {0, 0}, {1, 0}});
  EXPECT_EQ(dotProduct(col2, col2).re, 5);
  EXPECT_EQ(dotProduct(row2, col2).re, 11);
  EXPECT_EQ(thrownMessage([&] { dotProduct(row2, col3); }), "Dot product error 1\n");
  EXPECT_EQ(thrownMessage([&] { dotProduct(square, sq4); }), "Dot product error 2\n");
  EXPECT_EQ(thrownMessage([&] { dotProduct(col2, row2); }), "Dot product error 3\n");
}

TEST(Matrix, ElementBudgetIsCheckedIn64Bits) {
  EXPECT_TRUE(fitsElementBudget(int64_t{1} << 27, 1));
  EXPECT_FALSE(fitsElementBudget((int64_t{1} << 27) + 1, 1));
  EXPECT_FALSE(fitsElementBudget(100000, 100000));
  EXPECT_FALSE(fitsElementBudget(int64_t{1} << 40, int64_t{1} << 40));
  EXPECT_TRUE(fitsElementBudget(0, int64_t{1} << 40));
}

TEST(Complex, PolarPowerHasNoSpecialCases) {
  const Complex zeroToZero = complexPower({0, 0}, 0);
  EXPECT_TRUE(std::isnan(zeroToZero.re));
  EXPECT_TRUE(std::isnan(zeroToZero.im));
  const Complex zeroCubed = complexPower({0, 0}, 3);
  EXPECT_EQ(zeroCubed.re, 0);
  EXPECT_EQ(zeroCubed.im, 0);
  const Complex iSquared = complexPower({0, 1}, 2);
  EXPECT_EQ(iSquared.re, -1);
  EXPECT_NEAR(iSquared.im, 1.22465e-16, 1e-20);
}

TEST(Matrix, SparseProductMatchesTheDenseOneBitForBitOnFiniteValues) {
  // Entries drawn from a small set with many exact zeros of both signs, so
  // skipped terms, cancellations and -0 products all occur.
  const double values[] = {0.0, -0.0, 0.0, -0.0, 1.0, -1.0, 0.5, -2.25, 3.0e-17, 1e300};
  std::srand(11);
  auto pick = [&] { return values[std::rand() % 10]; };
  for (int trial = 0; trial < 400; ++trial) {
    const int32_t rows = 1 + std::rand() % 5, inner = 1 + std::rand() % 5, cols = 1 + std::rand() % 5;
    Matrix a, b;
    a.setSize(rows, inner);
    b.setSize(inner, cols);
    for (Complex& e : a.data) e = Complex{pick(), pick()};
    for (Complex& e : b.data) e = Complex{pick(), pick()};
    Matrix dense, sparse;
    ASSERT_TRUE(multiply(a, b, dense));
    ASSERT_TRUE(multiplyFiniteBySparse(a, b, sparse));
    ASSERT_EQ(dense.count, sparse.count);
    for (int32_t k = 0; k < dense.count; ++k) {
      ASSERT_TRUE(sameBits(dense.data[k].re, sparse.data[k].re) && sameBits(dense.data[k].im, sparse.data[k].im))
          << "trial " << trial << " element " << k;
    }
  }
}
