// Value records and their one printer.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <sstream>

#include "transcript.h"
#include "runtime/break_flag.h"
#include "runtime/console.h"
#include "runtime/process_group.h"
#include "runtime/script_error.h"
#include "value/element_array.h"
#include "value/object.h"
#include "value/printer.h"
#include "value/split_column.h"

namespace {

struct Printed {
  std::string stream;
  std::string console;
};

Printed print(const Object& value, bool header, bool all) {
  std::ostringstream stream;
  std::ostringstream consoleText;
  std::ostream* previous = setConsole(&consoleText);
  printValue(value, stream, header, all);
  setConsole(previous);
  return {stream.str(), consoleText.str()};
}


}  // namespace

TEST(Printer, DoublesUseSixSignificantDigits) {
  EXPECT_EQ(formatDouble(0.5), "0.5");
  EXPECT_EQ(formatDouble(std::sqrt(0.5)), "0.707107");
  EXPECT_EQ(formatDouble(-0.0), "-0");
  EXPECT_EQ(formatDouble(1500.0), "1500");
  EXPECT_EQ(formatDouble(1e-33), "1e-33");
  EXPECT_EQ(formatDouble(1234567.0), "1.23457e+06");
  EXPECT_EQ(formatDouble(std::numeric_limits<double>::infinity()), "inf");
  EXPECT_EQ(formatDouble(std::sqrt(-1.0)), "-nan");
}

TEST(Printer, ScalarsWithAndWithoutHeader) {
  Object o;
  o.setComplex(1, -1);
  EXPECT_EQ(print(o, true, false).stream, "complex temp = 1 + -1i");
  o.setInteger(-7);
  EXPECT_EQ(print(o, false, false).stream, "-7");
  o.setString("a b");
  o.name = "s";
  EXPECT_EQ(print(o, true, false).stream, "string s = a b");
}

TEST(Printer, ListsEndWithTheirSeparator) {
  Object v;
  v.setVector({0.5, 0.5});
  EXPECT_EQ(print(v, true, false).stream, "vector temp = 0.5, 0.5, ");
  v.setVector({});
  EXPECT_EQ(print(v, true, false).stream, "vector temp = ");
  const Object s = Object::makeSystem("y", {2, 3});
  EXPECT_EQ(print(s, true, false).stream, "system y = 2, 3, ");
}

TEST(Printer, MatrixGridWithTabsAndClosingEmptyLine) {
  Object m;
  Matrix& id = m.setMatrix(2, 2);
  id.setIdentity();
  EXPECT_EQ(print(m, true, false).stream, "matrix temp = \n1 + 0i\t0 + 0i\t\n0 + 0i\t1 + 0i\t\n\n");
  Object one;
  one.setMatrix(1, 1);
  EXPECT_EQ(print(one, false, false).stream, "\n0 + 0i\t\n\n");
  Object empty;
  empty.setMatrix(0, 0);
  EXPECT_EQ(print(empty, true, false).stream, "matrix temp = \n");
}

TEST(Printer, ConsoleShowsTheLeadingTenByTenBlockFilesShowAll) {
  Object m;
  m.setMatrix(12, 12);
  const std::string shown = print(m, false, false).stream;
  const std::string all = print(m, false, true).stream;
  EXPECT_EQ(std::count(shown.begin(), shown.end(), '\t'), 100);
  EXPECT_EQ(std::count(shown.begin(), shown.end(), '\n'), 1 + 10 + 1);
  EXPECT_EQ(std::count(all.begin(), all.end(), '\t'), 144);
  Object ket;
  ket.setMatrix(16, 1);
  const std::string ketText = print(ket, false, false).stream;
  EXPECT_EQ(std::count(ketText.begin(), ketText.end(), '\t'), 10);
}

TEST(Printer, MissingPayloadPrintsNullOnStandardOutputOnly) {
  Object nothing;
  const Printed p = print(nothing, true, true);
  EXPECT_EQ(p.stream, "");
  EXPECT_EQ(p.console, "NULL");
}

TEST(Printer, APendingBreakCutsLongTextsButNeverAShortOne) {
  requestBreak();
  // The echo after a break still shows a short value whole.
  Object list;
  list.setVector(std::vector<double>(100, 0.5));
  EXPECT_EQ(thrownMessage([&] { print(list, true, false); }), "<nothing>");
  Object grid;
  grid.setMatrix(40, 40);
  EXPECT_EQ(thrownMessage([&] { print(grid, true, false); }), "<nothing>");
  // Long vectors, matrices (a row at a time or one long row) and strings stop early.
  Object longList;
  longList.setVector(std::vector<double>(size_t{1} << 20, 0.5));
  Object longGrid;
  longGrid.setMatrix(300, 300);
  Object longRow;
  longRow.setMatrix(1, 1 << 20);
  Object longString;
  longString.setString(std::string(size_t{1} << 24, 'x'));
  for (const Object* value : {&longList, &longGrid, &longRow, &longString}) {
    std::ostringstream out;
    EXPECT_EQ(thrownMessage([&] { printValue(*value, out, false, true); }), "Error: User break.");
    EXPECT_LT(out.str().size(), size_t{64} << 10);
  }
  clearBreak();
}

TEST(ElementArrayPool, SparesNeverOutweighTheLargestArrayInUse) {
  const size_t n = kPooledArrayBytes / sizeof(Complex);
  giveBackFreeMemory();
  ASSERT_EQ(pooledSpareCount(), 0u);
  {
    const ElementArray state(2 * n);
    { const ElementArray result(2 * n), smaller(n); }
    // The spare of the size in use is kept for the next result; the other
    // would outweigh the state.
    EXPECT_EQ(pooledSpareCount(), 1u);
    { const ElementArray larger(4 * n); }
    EXPECT_EQ(pooledSpareCount(), 0u);
  }
  // With nothing in use, nothing is kept.
  { const ElementArray result(2 * n), again(2 * n); }
  EXPECT_EQ(pooledSpareCount(), 0u);
}

TEST(Object, StrictGettersNameTheExpectedType) {
  Object fresh;
  EXPECT_EQ(thrownMessage([&] { fresh.getString(); }), "getString error - type is NULL or not string");
  Object i;
  i.setInteger(3);
  EXPECT_EQ(thrownMessage([&] { i.getDouble(); }), "getInteger error - type is NULL or not double");
  EXPECT_EQ(thrownMessage([&] { i.getComplex(); }), "getComplex error - type is NULL or not complex");
  EXPECT_EQ(thrownMessage([&] { i.getMatrix(); }), "getMatrix error - type is NULL or not matrix");
  EXPECT_EQ(thrownMessage([&] { i.getSystem(); }), "getInteger error - type is NULL or not System");
  Object d;
  d.setDouble(1.0);
  EXPECT_EQ(thrownMessage([&] { d.getInteger(); }), "getInteger error - type is NULL or not int");
}

TEST(Object, SetterOnAViewLeavesTheVariableAlone) {
  Object variable("x", ValueType::Integer, makePayload(int32_t{5}));
  Object view = variable;
  view.setInteger(9);
  EXPECT_EQ(view.name, "temp");
  EXPECT_EQ(variable.getInteger(), 5);
}

TEST(Object, AssignmentIsInPlaceAndTypeStrict) {
  Object variable("x", ValueType::Integer, makePayload(int32_t{5}));
  Object alias = variable;
  Object value;
  value.setDouble(2.5);
  assignObject(variable, value);
  EXPECT_EQ(alias.getInteger(), 5);
  value.setInteger(8);
  assignObject(variable, value);
  EXPECT_EQ(alias.getInteger(), 8);

  Matrix column;
  column.setSize(4, 1);
  Object m("m", ValueType::Matrix, makePayload(std::move(column)));
  Object square;
  square.setMatrix(2, 2).setIdentity();
  assignObject(m, square);
  EXPECT_EQ(m.getMatrix().rows, 2);
  EXPECT_EQ(m.getMatrix()(1, 1).re, 1);
}

namespace {

// Process 2 of four, whose peers' rows all read as their process number.
class FakeGroup : public ProcessGroup {
 public:
  uint32_t rank() const override { return 2; }
  uint32_t size() const override { return 4; }
  void shareBytes(std::string&) override {}
  void shareWord(uint64_t&) override {}
  bool shareBreak() override { return false; }
  bool allocatedEverywhere(bool held) override { return held; }
  void exchange(uint32_t, const void*, void*, size_t) override {}
  void shift(uint32_t, const void*, size_t, uint32_t, void*, size_t) override {}
  void gatherSlices(const void* slice, size_t sliceBytes, void* whole) override {
    const size_t n = sliceBytes / sizeof(Complex);
    Complex* out = static_cast<Complex*>(whole);
    for (size_t r = 0; r < 4; ++r) {
      for (size_t i = 0; i < n; ++i) out[r * n + i] = r == 2 ? static_cast<const Complex*>(slice)[i] : Complex{double(r), 0};
    }
  }
};

}  // namespace

TEST(SplitColumn, HeldAsASliceAndWholeAgainForEveryOtherReader) {
  setenv("DOVEX_SPLIT_MIN", "256", 1);
  FakeGroup group;
  ProcessGroup* previous = setProcessGroup(&group);
  Matrix column;
  column.setSize(1024, 1);
  for (int32_t r = 0; r < 1024; ++r) column.data[static_cast<size_t>(r)] = Complex{0, double(r)};
  Object value;
  value.setMatrix(std::move(column));
  Object variable("psi", ValueType::Matrix, value.payload);
  // Slices of 128 rows are too small: a 512-row column and a matrix stay whole.
  EXPECT_FALSE(heldSplit(512, 1));
  EXPECT_FALSE(heldSplit(1024, 2));
  const Matrix& slice = variable.matrixSlice();
  ASSERT_TRUE(slice.isSlice());
  EXPECT_EQ(slice.rows, 256);
  EXPECT_EQ(slice.firstRow, 512);
  EXPECT_EQ(slice.data[0].im, 512.0);
  {
    const WholeStateReader reading("norm");
    const Matrix& whole = variable.getMatrix();
    EXPECT_FALSE(whole.isSlice());
    EXPECT_EQ(whole.rows, 1024);
    EXPECT_EQ(whole.data[600].im, 600.0);  // this process's rows, where they belong
    EXPECT_EQ(whole.data[100].re, 0.0);
    EXPECT_EQ(whole.data[900].re, 3.0);
  }
  EXPECT_FALSE(value.matrixSlice().isSlice());  // every alias sees it whole
  // A slice of a column past one process's budget is never gathered.
  Matrix huge;
  huge.setSize(256, 1);
  huge.wholeRows = int32_t{1} << 28;
  huge.firstRow = int32_t{1} << 27;
  const WholeStateReader reading("norm");
  try {
    gatherWhole(huge);
    ADD_FAILURE() << "gathered";
  } catch (const ScriptError& error) {
    EXPECT_STREQ(error.what(), "norm needs the whole state in one process (2^28 amplitudes)");
  }
  EXPECT_EQ(huge.rows, 256);
  setProcessGroup(previous);
}
