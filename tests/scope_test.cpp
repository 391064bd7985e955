// Scopes: snapshots of a caller's variables, shared values, deletion rules.
#include <gtest/gtest.h>

#include "interp/scope.h"
#include "value/error.h"

namespace {

Object integer(const std::string& name, int32_t value) {
  return Object(name, ValueType::Integer, makePayload(value));
}

int32_t valueOf(const Scope& scope, const std::string& name) {
  Object found;
  if (!scope.findVariable(name, found)) return -999;
  return found.getInteger();
}

}  // namespace

TEST(Scope, SnapshotSeesOnlyWhatExistedWhenItWasTaken) {
  Scope globals;
  globals.addVariable(integer("a", 1));
  Scope line(globals, 0);
  globals.addVariable(integer("b", 2));
  line.addVariable(integer("c", 3));
  EXPECT_EQ(valueOf(line, "a"), 1);
  EXPECT_EQ(valueOf(line, "b"), -999);
  EXPECT_EQ(valueOf(line, "c"), 3);
  EXPECT_EQ(valueOf(globals, "c"), -999);
  // A snapshot of a snapshot inherits the same view of the outer scope.
  Scope inner(line, 0);
  EXPECT_EQ(valueOf(inner, "a"), 1);
  EXPECT_EQ(valueOf(inner, "b"), -999);
  EXPECT_EQ(valueOf(inner, "c"), 3);
}

TEST(Scope, LastMatchWinsForFindEveryMatchIsAssigned) {
  Scope outer;
  outer.addVariable(integer("x", 1));
  Scope inner(outer, 0);
  inner.addVariable(integer("x", 2));
  EXPECT_EQ(valueOf(inner, "x"), 2);
  Object seven;
  seven.setInteger(7);
  inner.assignVariable("x", seven);
  EXPECT_EQ(valueOf(outer, "x"), 7);
  EXPECT_EQ(valueOf(inner, "x"), 7);
  Object text;
  text.setString("no");
  inner.assignVariable("x", text);  // a type mismatch changes nothing
  EXPECT_EQ(valueOf(outer, "x"), 7);
}

TEST(Scope, FoundValueSharesThePayloadAndOutlivesTheEntry) {
  Scope s;
  s.addVariable(integer("x", 1));
  Object view;
  s.findVariable("x", view);
  EXPECT_EQ(view.name, "x");
  Object five;
  five.setInteger(5);
  s.assignVariable("x", five);
  EXPECT_EQ(view.getInteger(), 5);
  s.deleteVariable("x");
  EXPECT_EQ(view.getInteger(), 5);
}

TEST(Scope, DeleteRemovesOwnEntriesAndRefusesInheritedOnes) {
  Scope outer;
  outer.addVariable(integer("x", 1));
  Scope inner(outer, 0);
  inner.addVariable(integer("y", 2));
  inner.addVariable(integer("y", 3));
  EXPECT_THROW(inner.deleteVariable("x"), ScriptError);
  EXPECT_EQ(valueOf(outer, "x"), 1);
  inner.deleteVariable("y");  // the first of the two
  EXPECT_EQ(valueOf(inner, "y"), 3);
  inner.deleteVariable("nothing");
  // A local of the same name as an inherited one: the inherited comes first.
  inner.addVariable(integer("x", 4));
  EXPECT_THROW(inner.deleteVariable("x"), ScriptError);
  outer.deleteVariable("x");
  EXPECT_EQ(valueOf(outer, "x"), -999);
}

TEST(Scope, UnsharedTemporaryMovesIntoFirstEntryOthersGetCopies) {
  auto matrixOf = [](double value) {
    Matrix m;
    m.setSize(2, 1);
    m.fill(Complex{value, 0.0});
    return m;
  };
  Scope outer;
  outer.addVariable(Object("m", ValueType::Matrix, makePayload(matrixOf(1))));
  Scope inner(outer, 0);
  inner.addVariable(Object("m", ValueType::String, makePayload(std::string("skip"))));
  inner.addVariable(Object("m", ValueType::Matrix, makePayload(matrixOf(2))));
  Object innerView;
  inner.findVariable("m", innerView);  // an alias of the newest entry
  Object outerView = Object("m", ValueType::Matrix, nullptr);
  for (const Scope::Entry& e : outer.ownEntries()) outerView = e.object;

  Object temp;
  const Complex* moved = temp.setMatrix(matrixOf(5)).data.data();
  inner.assignVariable("m", std::move(temp));
  // The newest entry took the array itself, and its alias sees it; the
  // string entry is left alone; the outer entry holds a copy.
  EXPECT_EQ(innerView.getMatrix().data.data(), moved);
  EXPECT_EQ(outerView.getMatrix().data[1].re, 5.0);
  EXPECT_NE(outerView.getMatrix().data.data(), moved);

  // A value still shared (here with a view) is copied, never taken from its owner.
  Object shared;
  shared.setMatrix(matrixOf(6));
  Object keeper = shared;
  inner.assignVariable("m", std::move(shared));
  EXPECT_EQ(keeper.getMatrix().data[0].re, 6.0);
  EXPECT_EQ(innerView.getMatrix().data[0].re, 6.0);
  EXPECT_EQ(innerView.getMatrix().data.data(), moved);  // copied into the existing array
}
