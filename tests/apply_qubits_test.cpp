// apply_qubits as a user meets it: entangling gates between any qubits of a
// register, and the refusals that leave the session going.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "extensions/commands.h"
#include "extensions/extension.h"
#include "transcript.h"

namespace {

// A qubit space, an exact Hadamard h and the CNOT cx (control: the operator's
// high bit).
const std::string kSetup =
    "global (begin (new space q 2) (new double s) (set s (sqrt 0.5)) (new matrix h 2 2) (set h (matrix 2 2 "
    "(complex (get s) 0) (complex (get s) 0) (complex (get s) 0) (complex (neg (get s)) 0))) (new matrix cx 4 4) "
    "(set cx (gate cnot 2 1 0)))";
const std::string kZero2 = "(tensor (get q.ket.0) (get q.ket.0))";
const std::string kZero3 = "(tensor (get q.ket.0) " + kZero2 + ")";

// The echo of a computed column, one element text per row.
std::string columnEcho(const std::vector<std::string>& rows) {
  std::string text = "matrix temp = \n";
  for (const std::string& e : rows) text += e + "\t\n";
  return text + "\n\n\n";
}

const std::string kHalf = "0.707107 + 0i";
const std::string kNil = "0 + 0i";
const std::string kOne = "1 + 0i";

}  // namespace

TEST(ApplyQubits, BellGhzAndACnotBetweenDistantQubits) {
  EXPECT_EQ(
      transcriptWithExtensions({kSetup, "apply_qubits (apply_qubits " + kZero2 + " (get h) 1) (get cx) 1 0",
                  "apply_qubits (apply_qubits (apply_qubits " + kZero3 + " (get h) 2) (get cx) 2 1) (get cx) 1 0",
                  // |001>: control qubit 0 is set, so target qubit 2 flips (row 5); the
                  // other way round the control is clear and nothing moves.
                  "apply_qubits (tensor (get q.ket.0) (tensor (get q.ket.0) (get q.ket.1))) (get cx) 0 2",
                  "apply_qubits (tensor (get q.ket.0) (tensor (get q.ket.0) (get q.ket.1))) (get cx) 2 0"}),
      tx({NUL, columnEcho({kHalf, kNil, kNil, kHalf}),
          columnEcho({kHalf, kNil, kNil, kNil, kNil, kNil, kNil, kHalf}),
          columnEcho({kNil, kNil, kNil, kNil, kNil, kOne, kNil, kNil}),
          columnEcho({kNil, kOne, kNil, kNil, kNil, kNil, kNil, kNil})}));
}

TEST(ApplyQubits, RefusalsLeaveTheResultAndTheSessionGoesOn) {
  const std::vector<std::string> refused = {
      "apply_qubits (get q.ket.0) (get h)",           "apply_qubits (matrix 2 2 ident) (get h) 0",
      "apply_qubits (matrix 3 1 zero) (get h) 0",     "apply_qubits (get q.ket.0) (get cx) 0",
      "apply_qubits " + kZero2 + " (matrix 4 2 zero) 0 1", "apply_qubits " + kZero2 + " (get h) 2",
      "apply_qubits " + kZero2 + " (get h) -1",       "apply_qubits " + kZero2 + " (get cx) 1 1"};
  const std::vector<std::string> reasons = {"no qubit given",
                                            "state is not a column of 2^n rows",
                                            "state is not a column of 2^n rows",
                                            "operator is not 2^k x 2^k for k qubits",
                                            "operator is not 2^k x 2^k for k qubits",
                                            "qubit out of range",
                                            "qubit out of range",
                                            "qubit repeated"};
  std::vector<std::string> lines = {kSetup};
  std::vector<std::string> echoes = {NUL};
  for (size_t i = 0; i < refused.size(); ++i) {
    lines.push_back(refused[i]);
    echoes.push_back("Syntax error '" + refused[i] + "'; " + reasons[i] + "\n" + NUL);
  }
  lines.insert(lines.end(), {"apply_qubits 1 (get h) 0", "apply_qubits (get q.ket.0) (get h) 0.5",
                             "apply_qubits (get q.ket.1) (get h) 0", "help apply_qubits"});
  echoes.insert(echoes.end(), {"Error: getMatrix error - type is NULL or not matrix\n" + NUL,
                               "Error: getInteger error - type is NULL or not int\n" + NUL,
                               columnEcho({kHalf, "-0.707107 + 0i"}), std::string(extensionCommands()[4].help) + NUL});
  EXPECT_EQ(transcriptWithExtensions(lines), tx(echoes));
}
