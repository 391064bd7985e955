// Value records and their one printer.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <sstream>

#include "transcript.h"
#include "runtime/console.h"
#include "runtime/script_error.h"
#include "value/object.h"
#include "value/printer.h"

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
