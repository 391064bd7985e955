// The six comparisons: integers with integers, doubles with doubles, giving
// the integer 1 or 0 that `if` and `while` test. Doubles compare with the
// hardware's IEEE relations, so NaN fails every relation but "not equal" and
// -0 equals 0.
#include <functional>

#include "builtins/keyword_tables.h"
#include "interp/call.h"

namespace {

template <typename Relation>
void compare(Call& call, Relation holds) {
  const Arg first = call.argument(1);
  const Arg second = call.argument(2);
  const Object& a = *first;
  const Object& b = *second;
  if (a.type != b.type) {
    call.report() << "Cannot compare different types; '" << call.text << "'\n";
    return;
  }
  if (a.is(ValueType::Integer)) {
    call.result.setInteger(holds(a.getInteger(), b.getInteger()) ? 1 : 0);
  } else if (a.is(ValueType::Double)) {
    call.result.setInteger(holds(a.getDouble(), b.getDouble()) ? 1 : 0);
  } else {
    call.report() << "Cannot compare these types; '" << call.text << "'\n";
  }
}

}  // namespace

static void builtinLess(Call& call) { compare(call, std::less<>{}); }
static void builtinLessEqual(Call& call) { compare(call, std::less_equal<>{}); }
static void builtinGreater(Call& call) { compare(call, std::greater<>{}); }
static void builtinGreaterEqual(Call& call) { compare(call, std::greater_equal<>{}); }
static void builtinNotEqual(Call& call) { compare(call, std::not_equal_to<>{}); }
static void builtinEqual(Call& call) { compare(call, std::equal_to<>{}); }

// The comparisons, one row each.
constexpr KeywordRow kRows[] = {
    {.name = "comp.less", .aliases = "comp.lt <", .run = builtinLess, .args = {2, 2, "xx"},
     .group = "comparisons", .usage = "comp.less A B",
     .summary = "1 when A < B, else 0, for two integers or two doubles.",
     .example = "< 1 2",
     .printed = "integer temp = 1\n"},
    {.name = "comp.lte", .aliases = "", .run = builtinLessEqual, .args = {2, 2, "xx"},
     .group = "comparisons", .usage = "comp.lte A B",
     .summary = "1 when A <= B, else 0, for two integers or two doubles.",
     .example = "comp.lte 1 1",
     .printed = "integer temp = 1\n"},
    {.name = "comp.gt", .aliases = ">", .run = builtinGreater, .args = {2, 2, "xx"},
     .group = "comparisons", .usage = "comp.gt A B",
     .summary = "1 when A > B, else 0, for two integers or two doubles.",
     .example = "> 3 2",
     .printed = "integer temp = 1\n"},
    {.name = "comp.gte", .aliases = "", .run = builtinGreaterEqual, .args = {2, 2, "xx"},
     .group = "comparisons", .usage = "comp.gte A B",
     .summary = "1 when A >= B, else 0, for two integers or two doubles.",
     .example = "comp.gte 1 2",
     .printed = "integer temp = 0\n"},
    {.name = "comp.ne", .aliases = "!=", .run = builtinNotEqual, .args = {2, 2, "xx"},
     .group = "comparisons", .usage = "comp.ne A B",
     .summary = "1 when A differs from B, else 0, for two integers or two doubles (a line cannot start with !=).",
     .example = "comp.ne 1.0 1.0",
     .printed = "integer temp = 0\n"},
    {.name = "comp.eq", .aliases = "==", .run = builtinEqual, .args = {2, 2, "xx"},
     .group = "comparisons", .usage = "comp.eq A B",
     .summary = "1 when A equals B, else 0, for two integers or two doubles.",
     .example = "== 2 2",
     .printed = "integer temp = 1\n"},
};

KeywordRows comparisonKeywords() { return kRows; }
