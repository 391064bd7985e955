// Splitting expressions into tokens and tidying the spacing of lines.
#include <gtest/gtest.h>

#include "interp/tokenizer.h"

namespace {

std::vector<std::string> split(const std::string& text) {
  TokenList list = TokenList::forExpressions();
  list.setText(text);
  std::vector<std::string> tokens;
  for (size_t i = 0; i < list.tokenCount(); ++i) tokens.push_back(list.token(i));
  return tokens;
}

std::string tidy(std::string text) {
  normalizeSpacing(text);
  return text;
}

using Tokens = std::vector<std::string>;

}  // namespace

TEST(Tokenizer, DelimitersSplitAndAdjacentOnesEncloseEmptyTokens) {
  EXPECT_EQ(split("a, b"), (Tokens{"a", "", "b"}));
  EXPECT_EQ(split("a,b"), (Tokens{"a", "b"}));
  EXPECT_EQ(split(" a "), (Tokens{"", "a", ""}));
  EXPECT_EQ(split(""), (Tokens{""}));
}

TEST(Tokenizer, TabsAreDroppedWithoutSplitting) {
  EXPECT_EQ(split("a\tb c"), (Tokens{"ab", "c"}));
  EXPECT_EQ(split("(a\tb) c"), (Tokens{"a\tb", "c"}));
}

TEST(Tokenizer, OneLevelOfBracketsOrQuotesIsRemoved) {
  EXPECT_EQ(split("add (mult 1 2) ((x))"), (Tokens{"add", "mult 1 2", "(x)"}));
  EXPECT_EQ(split("file \"a b.txt\" x"), (Tokens{"file", "a b.txt", "x"}));
  EXPECT_EQ(split("(a b)c d"), (Tokens{"a bc", "d"}));
  EXPECT_EQ(split("\"a (b\" c"), (Tokens{"a (b", "c"}));
}

TEST(Tokenizer, UnbalancedBracketsAndQuotes) {
  EXPECT_EQ(split("(add 1 2"), (Tokens{"add 1 2"}));
  EXPECT_EQ(split("add 1) 2"), (Tokens{"add", "1)", "2"}));
  EXPECT_EQ(split("x \"open to the end"), (Tokens{"x", "open to the end"}));
  // Quotes inside brackets are plain characters: the ")" still closes, and
  // the second quote then runs to the end of the text.
  EXPECT_EQ(split("(a \")\" b)"), (Tokens{"a \" b)"}));
}

TEST(Tokenizer, IndexBeyondTheCountIsEmpty) {
  TokenList list = TokenList::forExpressions();
  EXPECT_EQ(list.tokenCount(), 0u);
  EXPECT_EQ(list.token(0), "");
  list.setText("a b");
  EXPECT_EQ(list.token(2), "");
  EXPECT_EQ(list.token(99), "");
}

TEST(Tokenizer, ShellCommandConfigurationSplitsOnSpacesOnly) {
  TokenList list;
  list.addDelimiter(' ');
  list.setText("!state (a b) \"c\"");
  EXPECT_EQ(list.tokenCount(), 4u);
  EXPECT_EQ(list.token(0), "!state");
  EXPECT_EQ(list.token(1), "(a");
}

TEST(NormalizeSpacing, CollapsesTrimsAndSeparatesBrackets) {
  EXPECT_EQ(tidy("   foo    1     2   "), "foo 1 2");
  EXPECT_EQ(tidy("     "), "");
  EXPECT_EQ(tidy(""), "");
  EXPECT_EQ(tidy("( add 1 2 )"), "(add 1 2 )");
  EXPECT_EQ(tidy("foo((1) 2 )"), "foo ( (1) 2 )");
  EXPECT_EQ(tidy("((5))"), "( (5))");
  EXPECT_EQ(tidy("f(x)"), "f (x)");
}

TEST(NormalizeSpacing, TabsStayAndShieldABracket) {
  EXPECT_EQ(tidy("a\t(b)"), "a\t (b)");
  EXPECT_EQ(tidy("a \t(b)"), "a \t(b)");
  EXPECT_EQ(tidy("\tx  "), "\tx");
  EXPECT_EQ(tidy("x\t "), "x\t");
}
