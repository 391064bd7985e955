// Unitarity check and conjugate transpose.
#include <utility>

#include "builtins/keyword_tables.h"
#include "interp/call.h"
#include "quantum/unitarity.h"
#include "runtime/break_flag.h"

static void builtinIsUnitary(Call& call) {
  const Arg argument = call.argument(1);
  const Matrix& a = call.reportedMatrix(*argument, "type not matrix (isUnitary)");
  const bool unitary = rowsAreOrthonormal(a);
  throwIfBreak();  // a break stopped the test part-way
  call.result.setInteger(unitary ? 1 : 0);
}

static void builtinTranspose(Call& call) {
  const Arg argument = call.argument(1);
  const Matrix& a = call.reportedMatrix(*argument, "type not matrix (transpose)");
  Matrix conjugate;
  adjoint(a, conjugate);
  call.result.setMatrix(std::move(conjugate));
}

// Unitarity and adjoint, one row each.
constexpr KeywordRow kRows[] = {
    {.name = "is_unitary", .aliases = "", .run = builtinIsUnitary, .args = {1, 1, "m"},
     .group = "quantum", .usage = "is_unitary A",
     .summary = "1 when A times its conjugate transpose is the identity (to 0.0001), else 0.",
     .example = "is_unitary (matrix 4 4 QFT)",
     .printed = "integer temp = 1\n"},
    {.name = "transpose", .aliases = "", .run = builtinTranspose, .args = {1, 1, "m"},
     .group = "quantum", .usage = "transpose A",
     .summary = "The conjugate transpose of the matrix A: a ket becomes its bra.",
     .example = "transpose (matrix 2 1 (complex 1 2) (complex 3 0))",
     .printed = "matrix temp = \n1 + -2i\t3 + -0i\t\n"},
};

KeywordRows unitarityKeywords() { return kRows; }
