// Times apply_op (a 2 × 2 gate) and measure on registers of 10 … 22 qubits,
// through the interpreter as a script line runs them, so growth with the
// register's size can be read off. For the smallest registers the dense
// reference algorithms are timed too, for comparison.
//
//   quantum_bench [largest qubit count, default 22]
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "builtins/language.h"
#include "interp/interpreter.h"
#include "runtime/heap_policy.h"
#include "quantum/reference.h"
#include "runtime/console.h"
#include "value/matrix.h"
#include "value/object.h"

namespace {

using Clock = std::chrono::steady_clock;

// Best of [repeats] runs of [body], in milliseconds.
template <typename Body>
double bestMilliseconds(int repeats, Body&& body) {
  double best = 1e300;
  for (int i = 0; i < repeats; ++i) {
    const Clock::time_point start = Clock::now();
    body();
    const std::chrono::duration<double, std::milli> elapsed = Clock::now() - start;
    best = std::min(best, elapsed.count());
  }
  return best;
}

// A normalised state of [length] amplitudes with random phases.
Matrix randomState(int32_t length) {
  std::mt19937_64 generator(12345);
  std::normal_distribution<double> normal;
  Matrix state;
  state.setSize(length, 1);
  double norm = 0.0;
  for (Complex& e : state.data) {
    e = Complex{normal(generator), normal(generator)};
    norm += e.re * e.re + e.im * e.im;
  }
  state.scale(Complex{1.0 / std::sqrt(norm), 0.0});
  return state;
}

}  // namespace

int main(int argc, char** argv) {
  const int largest = argc > 1 ? std::atoi(argv[1]) : 22;
  keepLargeArraysOnHeap();  // as the interpreter itself does
  std::ostringstream discarded;
  setConsole(&discarded);
  std::srand(1);

  std::printf("qubits  apply_op K=0  apply_op K=n-1  measure K=0  measure K=n-1   (ms, best of runs)\n");
  for (int n = 10; n <= largest; ++n) {
    Interpreter interp(languageKeywords());
    Object result;
    std::string declare = "global (begin (new space q 2) (new integer r) (new system s " + std::to_string(n);
    for (int i = 0; i < n; ++i) declare += " q";
    declare += "))";
    interp.evaluateLine(declare, interp.globals, result, ScopeTarget::Own);
    interp.evaluateLine("global (begin (new matrix h 2 2) (set h (matrix 2 2 QFT)))", interp.globals, result, ScopeTarget::Own);
    interp.globals.addVariable(Object("v", ValueType::Matrix, makePayload(randomState(int32_t{1} << n))));

    const int repeats = n <= 16 ? 10 : 3;
    auto run = [&](const std::string& line) {
      return bestMilliseconds(repeats, [&] {
        Object out;
        interp.evaluateLine(line, interp.globals, out, ScopeTarget::Own);
      });
    };
    const std::string last = std::to_string(n - 1);
    const double apply0 = run("apply_op (get s) 0 (get h) (get v)");
    const double applyLast = run("apply_op (get s) " + last + " (get h) (get v)");
    const double measure0 = run("measure (get v) (get s) 0 r");
    const double measureLast = run("measure (get v) (get s) " + last + " r");
    std::printf("%6d  %12.3f  %14.3f  %11.3f  %13.3f\n", n, apply0, applyLast, measure0, measureLast);
  }

  // The dense algorithms: a widened operator of side 2^n and a basis vector
  // with a dot product per basis state, both growing with the square.
  std::printf("\ndense reference (ms): qubits  apply_op K=0  probabilities+collapse K=0\n");
  for (int n = 8; n <= 11; ++n) {
    const std::vector<int32_t> dims(static_cast<size_t>(n), 2);
    const Matrix v = randomState(int32_t{1} << n);
    Matrix h;
    h.setSize(2, 2);
    h.fill(Complex{std::sqrt(0.5), 0.0});
    h.setElement(1, 1, Complex{-std::sqrt(0.5), 0.0});
    const double apply = bestMilliseconds(1, [&] {
      Matrix out;
      reference::applyOperator(dims, 0, h, v, out);
    });
    const double measure = bestMilliseconds(1, [&] {
      const std::vector<double> p = reference::subsystemProbabilities(v, dims, 0);
      Matrix out;
      reference::collapseSubsystem(v, dims, 0, 0, std::sqrt(p[0]), out);
    });
    std::printf("%28d  %12.3f  %26.3f\n", n, apply, measure);
  }
  setConsole(nullptr);
  return 0;
}
