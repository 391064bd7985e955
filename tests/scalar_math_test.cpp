// Scalar mathematics and random numbers as a user sees them: results,
// diagnostics, getter errors, and the draws of the seeded C generator.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "transcript.h"

namespace {

std::string integer(int64_t v) { return "integer temp = " + std::to_string(v) + "\n\n"; }
std::string real(const std::string& v) { return "double temp = " + v + "\n\n"; }
std::string complexEcho(const std::string& v) { return "complex temp = " + v + "\n\n"; }
std::string thrown(const std::string& message) { return "Error: " + message + "\n" + NUL; }
const std::string kNotDouble = "getInteger error - type is NULL or not double";

std::string g(double x) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%g", x);
  return buffer;
}

// powm's sequence stepped literally: r ← (a·r wrapped to 32 bits) rem m.
int32_t powmStep(int32_t a, int32_t r, int32_t m) {
  const auto product = static_cast<int32_t>(static_cast<uint32_t>(a) * static_cast<uint32_t>(r));
  return m == -1 ? 0 : product % m;
}

int32_t powmStepwise(int32_t a, int32_t e, int32_t m) {
  int32_t r = 1;
  for (int32_t i = 0; i < e; ++i) r = powmStep(a, r, m);
  return r;
}

// The same value for any exponent, found by recording where each value of
// the sequence first appeared (fine for small moduli).
int32_t powmByFirstRepeat(int32_t a, int64_t e, int32_t m) {
  std::map<int32_t, int64_t> seen;
  std::vector<int32_t> values;
  int32_t r = 1;
  for (int64_t i = 0;; ++i) {
    if (i == e) return r;
    auto [it, fresh] = seen.emplace(r, i);
    if (!fresh) {
      const int64_t start = it->second;
      const int64_t period = i - start;
      return values[static_cast<size_t>(start + (e - start) % period)];
    }
    values.push_back(r);
    r = powmStep(a, r, m);
  }
}

}  // namespace

TEST(ScalarMath, RootsOfUnityCarryTheRoundingOfTwoPi) {
  EXPECT_EQ(transcript({"rootOfUnity 4", "rootOfUnity 1", "rootOfUnity -4", "rootOfUnity 0", "rootOfUnity 4.0"}),
            tx({complexEcho("6.12323e-17 + 1i"), complexEcho("1 + -2.44929e-16i"), complexEcho("6.12323e-17 + -1i"),
                complexEcho("-nan + -nani"), thrown("getInteger error - type is NULL or not int")}));
}

TEST(ScalarMath, NegationKeepsTheTypeAndWraps) {
  EXPECT_EQ(transcript({"neg 5", "neg -2147483648", "neg 0.0", "neg (complex 1 0)", "neg abc", "begin 3 (neg x)"}),
            tx({integer(-5), integer(-2147483648LL), real("-0"), complexEcho("-1 + -0i"), NUL, integer(3)}));
}

TEST(ScalarMath, ElementaryFunctionsAndTheirArgumentTypes) {
  EXPECT_EQ(transcript({"sin 0.0", "cos 0.0", "sin 0", "inv 4", "inv 0", "inv -0.0", "inv abc", "sqrt 2", "sqrt 2.25",
                        "sqrt -1.0", "sqrt -4"}),
            tx({real("0"), real("1"), thrown(kNotDouble), real("0.25"), real("inf"), real("-inf"), thrown(kNotDouble),
                real("1.41421"), real("1.5"), real("-nan"), real("-nan")}));
}

TEST(ScalarMath, IntegerPowersWrapAndNeverWiden) {
  // 3^40 modulo 2^32, reinterpreted as signed.
  uint32_t p = 1;
  for (int i = 0; i < 40; ++i) p *= 3u;
  EXPECT_EQ(transcript({"pow2 0", "pow2 -5", "pow2 10", "pow2 31", "pow2 32", "pow2 2147483647", "pow 2 10", "pow 2 -1",
                        "pow 3 40", "pow -1 2147483647", "pow 2 31", "pow 2.0 0.5", "pow 2 0.5", "pow 2.0 2"}),
            tx({integer(1), integer(1), integer(1024), integer(-2147483648LL), integer(0), integer(0), integer(1024),
                integer(1), integer(static_cast<int32_t>(p)), integer(-1), integer(-2147483648LL), real("1.41421"),
                thrown(kNotDouble), thrown(kNotDouble)}));
}

TEST(ScalarMath, ComplexPowerAndExponentialUseThePolarForm) {
  EXPECT_EQ(transcript({"pow (complex 0 1) 2", "pow (complex 0 0) 3", "pow (complex 0 0) 0", "pow (complex 0 1) 0.5",
                        "begin (new space q 2) (pow (get q.ket.0) x)", "exp (complex 0 3.141592653589793)",
                        "exp (complex 1 0)", "exp 1.0"}),
            tx({complexEcho("-1 + 1.22465e-16i"), complexEcho("0 + 0i"), complexEcho("-nan + -nani"),
                thrown("getInteger error - type is NULL or not int"), NUL, complexEcho("-1 + 1.22465e-16i"),
                complexEcho("2.71828 + 0i"), NUL}));
}

TEST(ScalarMath, PowmStepsWithAWrappingProduct) {
  EXPECT_EQ(transcript({"powm 3 4 5", "powm -3 1 5", "powm 7 0 5", "powm 7 -3 0", "powm 2 3 -5", "powm -2 3 -5",
                        "powm -2147483648 1 -1", "powm 65536 2 7"}),
            tx({integer(1), integer(-3), integer(1), integer(1), integer(3), integer(-3), integer(0),
                integer(powmStepwise(65536, 2, 7))}));
}

TEST(ScalarMath, PowmWithModulusZeroIsADivisionByZero) {
  EXPECT_EQ(transcript({"powm 7 3 0", "begin 4 (powm 0 1 0)"}),
            tx({"Syntax error 'powm 7 3 0'; division by zero\n" + NUL,
                "Syntax error 'powm 0 1 0'; division by zero\n" + integer(4)}));
}

TEST(ScalarMath, PowmShortcutMatchesTheLiteralSequence) {
  // Moderate exponents against the literal loop; any modulus.
  std::mt19937 gen(12345);
  std::uniform_int_distribution<int32_t> any(INT32_MIN, INT32_MAX);
  std::uniform_int_distribution<int32_t> small(-40, 40);
  std::vector<std::string> lines;
  std::string expected;
  for (int i = 0; i < 150; ++i) {
    const int32_t a = i % 2 ? any(gen) : small(gen);
    const int32_t e = std::uniform_int_distribution<int32_t>(1, 20000)(gen);
    int32_t m = i % 3 ? small(gen) : any(gen);
    if (m == 0) m = 1 + i;
    lines.push_back("powm " + std::to_string(a) + " " + std::to_string(e) + " " + std::to_string(m));
    expected += P + integer(powmStepwise(a, e, m));
  }
  // Huge exponents, where only the cycle makes the answer affordable.
  for (int i = 0; i < 60; ++i) {
    const int32_t a = any(gen);
    const int32_t e = std::uniform_int_distribution<int32_t>(1 << 30, INT32_MAX)(gen);
    int32_t m = std::uniform_int_distribution<int32_t>(-3000, 3000)(gen);
    if (m == 0) m = -1;
    lines.push_back("powm " + std::to_string(a) + " " + std::to_string(e) + " " + std::to_string(m));
    expected += P + integer(powmByFirstRepeat(a, e, m));
  }
  EXPECT_EQ(transcript(lines), expected);
}

TEST(ScalarMath, ConversionsFromText) {
  EXPECT_EQ(transcript({"integer abc", "integer 42", "integer 12abc", "integer 2.5", "double 2.5", "double abc",
                        "double 1.5e3", "double 3"}),
            tx({integer(0), integer(42), integer(12), thrown("getString error - type is NULL or not string"),
                real("2.5"), real("0"), real("1500"), thrown("getString error - type is NULL or not string")}));
}

TEST(ScalarMath, ComplexConstructionCastRealAndCnorm) {
  EXPECT_EQ(transcript({"complex 1 2.5", "complex x 2", "complex 1.5 -2", "complex (complex 1 1) 2",
                        "cast complex 2.5", "cast complex 2", "cast double 2.5", "cast 1 2.5", "real (complex 3 4)",
                        "real 3.0", "cnorm (complex 3 4)", "cnorm (complex -1 -2)", "cnorm 3.0"}),
            tx({complexEcho("1 + 2.5i"), complexEcho("0 + 2i"), complexEcho("1.5 + -2i"),
                "Syntax error 'complex (complex 1 1) 2'\n" + NUL, complexEcho("2.5 + 0i"),
                "Syntax error 'cast complex 2'; cast argument type not recognized.\n" + NUL, NUL,
                thrown("getString error - type is NULL or not string"), real("3"),
                thrown("getComplex error - type is NULL or not complex"), complexEcho("25 + 0i"),
                complexEcho("5 + 0i"), thrown("getComplex error - type is NULL or not complex")}));
}

TEST(ScalarMath, CnormOfAOneElementMatrix) {
  EXPECT_EQ(transcript({"begin (new space q 1) (cnorm (set_element (get q.ket.0) 0 0 (complex 3 4)))",
                        "begin (new space q 2) 1 (cnorm (get q.ket.0))"}),
            tx({complexEcho("25 + 0i"), "Matrix not size 1 in cnorm; 'cnorm (get q.ket.0)'\n" + integer(1)}));
}

TEST(RandomNumbers, EachDrawTakesOneNumberFromTheSeededGenerator) {
  const unsigned seed = 77;
  std::srand(seed);
  const int r1 = std::rand(), r2 = std::rand(), r3 = std::rand(), r4 = std::rand(), r5 = std::rand();
  EXPECT_EQ(transcript({"rand 1000", "randf 0.0 1.0", "randf 2.0 -2.0", "random_int 10 20", "rand 7"}, seed),
            tx({integer(r1 % 1000), real(g(0.0 + 1.0 * ((r2 % 10000) / 10000.0))),
                real(g(2.0 + -4.0 * ((r3 % 10000) / 10000.0))), integer(10 + (r4 % 100) * 11 / 100),
                integer(r5 % 7)}));
}

TEST(RandomNumbers, RefusalsDrawNothing) {
  const unsigned seed = 5;
  std::srand(seed);
  const int first = std::rand();
  EXPECT_EQ(transcript({"rand 0", "rand -3", "randf 0 1", "random_int 3 2", "rand 1000"}, seed),
            tx({"Syntax Error 'rand 0'; maxRange <= 0\n" + NUL, "Syntax Error 'rand -3'; maxRange <= 0\n" + NUL,
                thrown(kNotDouble), "Syntax error 'random_int 3 2'; large < small\n" + thrown("Syntax error."),
                integer(first % 1000)}));
}

TEST(RandomNumbers, RandomIntStaysInsideItsBoundsInSixtyFourBits) {
  // Bounds whose 32-bit difference would wrap, and negative bounds.
  const std::vector<std::pair<int64_t, int64_t>> bounds = {
      {5, 5}, {-5, -5}, {0, 9}, {-7, 3}, {-2147483648LL, 2147483647}, {-2147483648LL, -2147483648LL}, {2147483647, 2147483647}};
  for (unsigned seed = 1; seed <= 3; ++seed) {
    std::srand(seed);
    std::vector<std::string> lines;
    std::string expected;
    for (int round = 0; round < 20; ++round) {
      for (const auto& [lo, hi] : bounds) {
        lines.push_back("random_int " + std::to_string(lo) + " " + std::to_string(hi));
        const int64_t k = std::rand() % 100;
        const int64_t v = lo + k * (hi - lo + 1) / 100;
        ASSERT_TRUE(v >= lo && v <= hi);
        expected += P + integer(v);
      }
    }
    EXPECT_EQ(transcript(lines, seed), expected);
  }
  EXPECT_EQ(transcript({"random_int 2147483647 -2147483648"}),
            tx({"Syntax error 'random_int 2147483647 -2147483648'; large < small\n" + thrown("Syntax error.")}));
}
