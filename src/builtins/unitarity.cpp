// Unitarity check and conjugate transpose.
#include <utility>

#include "builtins/quantum_keywords.h"
#include "quantum/unitarity.h"

void builtinIsUnitary(Call& call) {
  const Object argument = call.arg(1);
  if (!argument.is(ValueType::Matrix)) call.syntaxError("; type not matrix (isUnitary)");
  const Matrix& a = argument.getMatrix();
  call.result.setInteger(rowsAreOrthonormal(a) ? 1 : 0);
}

void builtinTranspose(Call& call) {
  const Object argument = call.arg(1);
  if (!argument.is(ValueType::Matrix)) call.syntaxError("; type not matrix (transpose)");
  const Matrix& a = argument.getMatrix();
  Matrix conjugate;
  adjoint(a, conjugate);
  call.result.setMatrix(std::move(conjugate));
}
