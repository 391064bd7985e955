// Operator application and tensor product.
#include <utility>

#include "quantum/kernels.h"
#include "builtins/quantum_keywords.h"
#include "value/break_flag.h"

void builtinTensor(Call& call) {
  const Object left = call.arg(1);
  const Object right = call.arg(2);
  if (!left.is(ValueType::Matrix)) {
    call.syntaxError("; cannot tensor these types");
    return;
  }
  const Matrix& a = left.getMatrix();
  const Matrix& b = right.getMatrix();
  if (!fitsElementBudget(int64_t{a.rows} * b.rows, int64_t{a.cols} * b.cols)) {
    call.syntaxError("; size too large");
    return;
  }
  Matrix product;
  kernels::tensorProduct(a, b, product);
  throwIfBreak();
  call.result.setMatrix(std::move(product));
}

void builtinApplyOp(Call& call) {
  const Object systemValue = call.arg(1);
  const Object position = call.arg(2);
  const Object operatorValue = call.arg(3);
  const Object stateValue = call.arg(4);
  const std::vector<int32_t>& dims = systemValue.getSystem();
  const int32_t k = position.getInteger();
  const Matrix& g = operatorValue.getMatrix();
  const Matrix& v = stateValue.getMatrix();

  for (int32_t d : dims) {
    if (d <= 0) {
      call.syntaxError("; subsystem dimension <= 0");
      return;
    }
  }
  const bool inSystem = k >= 0 && static_cast<size_t>(k) < dims.size();
  if (inSystem && !g.hasStorage()) {
    call.syntaxError("; empty operator");
    return;
  }
  const kernels::WidenedShape widened = kernels::widenedShape(dims, k, g);
  if (widened.cols != v.rows) {
    call.syntaxError("; matrix wrong size for mult");
    return;
  }
  if (!fitsElementBudget(widened.rows, v.cols)) {
    call.syntaxError("; size too large");
    return;
  }
  Matrix transformed;
  kernels::applyOperator(dims, k, g, v, transformed);
  throwIfBreak();  // a break stopped the kernel part-way
  call.result.setMatrix(std::move(transformed));
}
