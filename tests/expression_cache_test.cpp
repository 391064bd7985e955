// Expression texts split once: the cache stays within its bound, keeps what
// running evaluations use, and nothing printed depends on it.
#include <gtest/gtest.h>

#include <sstream>

#include "builtins/language.h"
#include "interp/expression_cache.h"
#include "interp/interpreter.h"
#include "interp/stream_console.h"
#include "shell/shell.h"
#include "transcript.h"
#include "runtime/console.h"

namespace {

// What the prompt loop prints for [lines] with the cache capped at [limit].
std::string runWithCacheLimit(const std::vector<std::string>& lines, size_t limit) {
  std::string input;
  for (const std::string& line : lines) input += line + "\n";
  std::istringstream in(input);
  std::ostringstream out;
  std::ostream* previous = setConsole(&out);
  {
    StreamConsole console(in, out);
    Interpreter interp(languageKeywords(), &console);
    interp.expressions.setByteLimit(limit);
    runWithLargeStack([&] { runPromptLoop(interp, console); });
  }
  setConsole(previous);
  return out.str();
}

}  // namespace

TEST(ExpressionCache, StaysWithinItsLimitAndKeepsWhatIsInUse) {
  ExpressionCache cache([](std::string_view word) { return languageKeywords().find(word); }, 16384);
  const ParsedRef held = cache.lookup("begin (get x) 7");
  const ParsedRef again = cache.lookup("begin (get x) 7");
  EXPECT_EQ(held.get(), again.get());
  const ParsedRef arg = cache.argument(*held, 1);
  EXPECT_EQ(arg.get(), cache.argument(*held, 1).get());  // linked on first use
  EXPECT_EQ(arg->text(), "get x");
  EXPECT_TRUE(cache.argument(*held, 2)->isLiteral());
  for (int i = 0; i < 5000; ++i) {
    const ParsedRef p = cache.lookup("add " + std::to_string(i) + " (mult 2 " + std::to_string(i) + ")");
    cache.argument(*p, 2);
    ASSERT_LE(cache.byteCount(), 16384u);
  }
  // Let go by the cache long ago, still whole for the evaluations using them.
  EXPECT_EQ(held->tokens().token(1), "get x");
  EXPECT_EQ(arg->tokens().token(1), "x");
  EXPECT_NE(held->keyword(), nullptr);
  // A text too large for a quarter of the cache is used once, never kept.
  const ParsedRef large = cache.lookup("begin " + std::string(8000, '1'));
  EXPECT_NE(large.get(), cache.lookup("begin " + std::string(8000, '1')).get());
}

TEST(ExpressionCache, OutputIsTheSameSplittingEveryTimeCachingOrEvictingConstantly) {
  // Aliases, snapshots, deletes, global, loops and errors, run with no cache
  // (every text split afresh, as the plain evaluator does), a cache so small
  // it empties itself all the time, and the normal cache.
  const std::vector<std::string> lines = {
      "global (new integer g)",
      "begin (new integer x) (new integer x) (set x 5) (get x)",
      "begin (new integer k) (while (< (get k) 30) (set k (+ (get k) 1)) (new integer t) (set t (get k)) "
      "(set g (+ (get g) (get t)))) (get g)",
      "begin (global (new integer late)) (get late)",
      "get late",
      "begin (delete g)",
      "global (delete g)",
      "begin (new array a integer 3) (set a.1 7) (while (< (get a.0) 3) (set a.0 (+ (get a.0) 1)) "
      "(set a.1 (* (get a.1) 2))) (print (get a.1)) (size a)",
      "begin (new integer y) (set y 3) (if (get y) (begin (set y 4) (+ (get y) 1.5)) 0) (get y)",
      "foo (get g) 2",
      "begin (new integer n) (while (< (get n) 3) (set n (+ (get n) 1)) (print (get n)) (print_new_line 0)) (get n)",
      "delete g",
      "get g",
  };
  const std::string plain = runWithCacheLimit(lines, 0);
  EXPECT_NE(plain.find("integer g = 465"), std::string::npos) << plain;
  EXPECT_EQ(runWithCacheLimit(lines, 600), plain);
  EXPECT_EQ(runWithCacheLimit(lines, ExpressionCache::kDefaultByteLimit), plain);
}
