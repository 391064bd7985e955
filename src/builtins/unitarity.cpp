// Unitarity check and conjugate transpose.
#include <utility>

#include "builtins/quantum_keywords.h"
#include "quantum/unitarity.h"
#include "value/break_flag.h"

void builtinIsUnitary(Call& call) {
  const Object argument = call.arg(1);
  if (!argument.is(ValueType::Matrix)) call.syntaxError("; type not matrix (isUnitary)");
  const Matrix& a = argument.getMatrix();
  const bool unitary = rowsAreOrthonormal(a);
  throwIfBreak();  // a break stopped the test part-way
  call.result.setInteger(unitary ? 1 : 0);
}

void builtinTranspose(Call& call) {
  const Object argument = call.arg(1);
  if (!argument.is(ValueType::Matrix)) call.syntaxError("; type not matrix (transpose)");
  const Matrix& a = argument.getMatrix();
  Matrix conjugate;
  adjoint(a, conjugate);
  call.result.setMatrix(std::move(conjugate));
}
