// The six comparisons: integers with integers, doubles with doubles, giving
// the integer 1 or 0 that `if` and `while` test. Doubles compare with the
// hardware's IEEE relations, so NaN fails every relation but "not equal" and
// -0 equals 0.
#include <functional>

#include "builtins/builtins.h"

namespace {

template <typename Relation>
void compare(Call& call, Relation holds) {
  const ArgValue first(call, 1);
  const ArgValue second(call, 2);
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

void builtinLess(Call& call) { compare(call, std::less<>{}); }
void builtinLessEqual(Call& call) { compare(call, std::less_equal<>{}); }
void builtinGreater(Call& call) { compare(call, std::greater<>{}); }
void builtinGreaterEqual(Call& call) { compare(call, std::greater_equal<>{}); }
void builtinNotEqual(Call& call) { compare(call, std::not_equal_to<>{}); }
void builtinEqual(Call& call) { compare(call, std::equal_to<>{}); }
