// Scopes: snapshots of a caller's variables, shared values, deletion rules.
#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

#include "interp/scope.h"
#include "runtime/script_error.h"

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
  Scope line = Scope::snapshotOf(globals);
  globals.addVariable(integer("b", 2));
  line.addVariable(integer("c", 3));
  EXPECT_EQ(valueOf(line, "a"), 1);
  EXPECT_EQ(valueOf(line, "b"), -999);
  EXPECT_EQ(valueOf(line, "c"), 3);
  EXPECT_EQ(valueOf(globals, "c"), -999);
  // A snapshot of a snapshot inherits the same view of the outer scope.
  Scope inner = Scope::snapshotOf(line);
  EXPECT_EQ(valueOf(inner, "a"), 1);
  EXPECT_EQ(valueOf(inner, "b"), -999);
  EXPECT_EQ(valueOf(inner, "c"), 3);
}

TEST(Scope, LastMatchWinsForFindEveryMatchIsAssigned) {
  Scope outer;
  outer.addVariable(integer("x", 1));
  Scope inner = Scope::snapshotOf(outer);
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
  Scope inner = Scope::snapshotOf(outer);
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

namespace {

// The plain model of scopes: every snapshot a full copy of its caller's
// list, every look-up a scan.
struct PlainScope {
  struct Entry {
    std::string name;
    std::shared_ptr<int32_t> value;
    bool inherited;
  };
  std::vector<Entry> entries;

  int32_t find(const std::string& name) const {
    for (auto it = entries.rbegin(); it != entries.rend(); ++it) {
      if (it->name == name) return *it->value;
    }
    return -999;
  }
  void assign(const std::string& name, int32_t v) {
    for (Entry& e : entries) {
      if (e.name == name) *e.value = v;
    }
  }
  bool remove(const std::string& name) {  // false: "Cannot delete variable"
    for (auto it = entries.begin(); it != entries.end(); ++it) {
      if (it->name != name) continue;
      if (it->inherited) return false;
      entries.erase(it);
      return true;
    }
    return true;
  }
};

}  // namespace

TEST(Scope, IndexedScopesBehaveLikeFullCopiesWithLinearScans) {
  // Random programs of snapshots, creations (also in a caller while its
  // snapshot runs), look-ups, assignments to aliases and deletions, on
  // enough names to grow the index and compact deleted entries.
  std::mt19937 random(12);
  for (int round = 0; round < 20; ++round) {
    std::vector<std::unique_ptr<Scope>> real;
    std::vector<PlainScope> plain(1);
    real.push_back(std::make_unique<Scope>());
    const int names = round % 2 ? 6 : 300;
    auto pick = [&] { return "v" + std::to_string(random() % names); };
    for (int step = 0; step < 3000; ++step) {
      const size_t top = real.size() - 1;
      const unsigned op = random() % 100;
      const std::string name = pick();
      if (op < 8 && real.size() < 12) {
        real.push_back(std::unique_ptr<Scope>(new Scope(Scope::snapshotOf(*real[top]))));
        PlainScope copy = plain[top];
        for (auto& e : copy.entries) e.inherited = true;
        plain.push_back(std::move(copy));
      } else if (op < 14 && real.size() > 1) {
        real.pop_back();
        plain.pop_back();
      } else if (op < 45) {
        // New entries go to the innermost scope, or now and then to its
        // caller, where the running snapshot must not see them.
        const size_t at = (op < 20 && top > 0) ? top - 1 : top;
        const auto value = static_cast<int32_t>(random() % 1000);
        real[at]->addVariable(integer(name, value));
        plain[at].entries.push_back({name, std::make_shared<int32_t>(value), false});
      } else if (op < 60) {
        const auto value = static_cast<int32_t>(random() % 1000);
        Object v;
        v.setInteger(value);
        real[top]->assignVariable(name, v);
        plain[top].assign(name, value);  // copies share their cell with the entry they copy
      } else if (op < 80) {
        bool threw = false;
        try {
          real[top]->deleteVariable(name);
        } catch (const ScriptError&) {
          threw = true;
        }
        ASSERT_EQ(threw, !plain[top].remove(name)) << "delete " << name;
      }
      for (int k = 0; k < 3; ++k) {
        const std::string probe = pick();
        ASSERT_EQ(valueOf(*real.back(), probe), plain.back().find(probe)) << "round " << round << " step " << step;
      }
    }
    // Deleting most of the innermost scope's own entries compacts it.
    for (int k = 0; k < 200; ++k) {
      const std::string name = pick();
      real.back()->addVariable(integer(name, k));
      plain.back().entries.push_back({name, std::make_shared<int32_t>(k), false});
    }
    for (int pass = 0; pass < 4; ++pass) {
      for (int k = 0; k < names; ++k) {
        const std::string name = "v" + std::to_string(k);
        bool threw = false;
        try {
          real.back()->deleteVariable(name);
        } catch (const ScriptError&) {
          threw = true;
        }
        ASSERT_EQ(threw, !plain.back().remove(name));
        ASSERT_EQ(valueOf(*real.back(), name), plain.back().find(name));
      }
    }
  }
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
  Scope inner = Scope::snapshotOf(outer);
  inner.addVariable(Object("m", ValueType::String, makePayload(std::string("skip"))));
  inner.addVariable(Object("m", ValueType::Matrix, makePayload(matrixOf(2))));
  Object innerView;
  inner.findVariable("m", innerView);  // an alias of the newest entry
  Object outerView = Object("m", ValueType::Matrix, nullptr);
  outer.forEachOwnEntry([&](const Scope::Entry& e) { outerView = e.object; });

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
