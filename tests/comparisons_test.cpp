// The six comparisons: every keyword on the same operand pairs, IEEE doubles,
// signed integers, and the two refusals.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "transcript.h"

namespace {

struct Relation {
  std::vector<std::string> keywords;
  // Expected truth for (less, equal, greater) operand pairs and for NaN.
  int less, equal, greater, nan;
};

const std::vector<Relation> kRelations = {
    {{"comp.less", "comp.lt", "<"}, 1, 0, 0, 0}, {{"comp.lte"}, 1, 1, 0, 0},
    {{"comp.gt", ">"}, 0, 0, 1, 0},              {{"comp.gte"}, 0, 1, 1, 0},
    {{"comp.ne", "!="}, 1, 0, 1, 1},             {{"comp.eq", "=="}, 0, 1, 0, 0},
};

std::string truth(int v) { return "integer temp = " + std::to_string(v) + "\n\n"; }

// The line typing [keyword] [a] [b]; a line that starts with "!" is a shell
// command, so != goes inside a begin there.
std::string line(const std::string& keyword, const std::string& a, const std::string& b) {
  const std::string expression = keyword + " " + a + " " + b;
  return keyword[0] == '!' ? "begin (" + expression + ")" : expression;
}

}  // namespace

TEST(Comparisons, EveryKeywordOnIntegersAndDoubles) {
  // Operand pairs that are less, equal and greater, each as integers (signed,
  // so the most negative is the least) and as doubles (-0 equals 0).
  const std::vector<std::pair<std::string, std::string>> less = {{"1", "2"}, {"-2147483648", "2147483647"}, {"-0.5", "0.25"}};
  const std::vector<std::pair<std::string, std::string>> equal = {{"7", "7"}, {"1.0", "1.0"}, {"-0.0", "0.0"}};
  for (const Relation& r : kRelations) {
    for (const std::string& k : r.keywords) {
      std::vector<std::string> lines;
      std::string expected;
      for (const auto& [a, b] : less) {
        lines.push_back(line(k, a, b));
        lines.push_back(line(k, b, a));
        expected += P + truth(r.less) + P + truth(r.greater);
      }
      for (const auto& [a, b] : equal) {
        lines.push_back(line(k, a, b));
        expected += P + truth(r.equal);
      }
      EXPECT_EQ(transcript(lines), expected) << k;
    }
  }
}

TEST(Comparisons, NotANumberFailsEveryRelationButNotEqual) {
  for (const Relation& r : kRelations) {
    for (const std::string& k : r.keywords) {
      EXPECT_EQ(transcript({line(k, "(sqrt -1.0)", "(sqrt -1.0)"), line(k, "(sqrt -1.0)", "1.0"), line(k, "1.0", "(div 0.0 0.0)")}),
                tx({truth(r.nan), truth(r.nan), truth(r.nan)}))
          << k;
    }
  }
}

TEST(Comparisons, DifferentOrUncomparableTypesLeaveTheResult) {
  EXPECT_EQ(transcript({"== 1 1.0", "begin 4 (< 1.0 1)", "== abc abc", "comp.ne (complex 1 0) (complex 1 0)",
                        "begin (new space q 2) (comp.eq (get q.ket.0) (get q.ket.0))", "== (nop 0) (nop 1)"}),
            tx({"Cannot compare different types; '== 1 1.0'\n" + NUL,
                "Cannot compare different types; '< 1.0 1'\n" + truth(4),
                "Cannot compare these types; '== abc abc'\n" + NUL,
                "Cannot compare these types; 'comp.ne (complex 1 0) (complex 1 0)'\n" + NUL,
                "Cannot compare these types; 'comp.eq (get q.ket.0) (get q.ket.0)'\n" + NUL,
                "Cannot compare these types; '== (nop 0) (nop 1)'\n" + NUL}));
}

TEST(Comparisons, DriveLoopsAndBranches) {
  EXPECT_EQ(transcript({"begin (new integer i) (new integer s) (while (< (get i) 5) (set s (+ (get s) (get i))) "
                        "(set i (+ (get i) 1))) (get s)",
                        "if (and (comp.gte 2 2) (!= 1.5 2.5)) yes no"}),
            tx({"integer s = 10\n\n", "string temp = yes\n\n"}));
}
