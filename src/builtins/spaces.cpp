// Declarations of state spaces (with their kets and bras), composite
// systems and zero matrices: the space, system and matrix forms of `new`.
#include "builtins/new_forms.h"
#include "interp/call.h"
#include "value/split_column.h"

void newSpace(Call& call, const std::string& name) {
  const Arg dimension = call.argument(3);
  const int32_t d = dimension->getInteger();
  if (d < 1) {
    call.report() << "Syntax error - dim <= 0\n";
    return;
  }
  // A space of dimension d holds 2d matrices of d elements: 2·d² elements in
  // all must fit the one budget of a matrix value (d ≤ 8192).
  if (!fitsElementBudget(int64_t{2} * d, d)) {
    call.report() << "Syntax error - dim too large\n";
    return;
  }
  for (int32_t k = 0; k < d; ++k) {
    Matrix ket;
    ket.setSize(d, 1);
    ket.setElement(k, 0, Complex{1.0, 0.0});
    call.targetScope.addVariable(Object(name + ".ket." + decimal(k), ValueType::Matrix, makePayload(std::move(ket))));
    Matrix bra;
    bra.setSize(1, d);
    bra.setElement(0, k, Complex{1.0, 0.0});
    call.targetScope.addVariable(Object(name + ".bra." + decimal(k), ValueType::Matrix, makePayload(std::move(bra))));
  }
  call.targetScope.addVariable(Object(name + ".size", ValueType::Integer, makePayload(d)));
}

void newSystem(Call& call, const std::string& name) {
  const Arg countValue = call.argument(3);
  const int32_t n = countValue->getInteger();
  std::vector<int32_t> dimensions;
  for (int32_t i = 0; i < n; ++i) {
    const Arg space = call.argument(static_cast<size_t>(i) + 4);
    Object size;
    call.targetScope.findVariable(space->getString() + ".size", size);
    dimensions.push_back(size.getInteger());
  }
  const int32_t count = static_cast<int32_t>(dimensions.size());
  call.targetScope.addVariable(Object::makeSystem(name, std::move(dimensions)));
  call.targetScope.addVariable(Object(name + ".size", ValueType::Integer, makePayload(count)));
}

void newMatrix(Call& call, const std::string& name) {
  const Arg rowsValue = call.argument(3);
  const Arg colsValue = call.argument(4);
  const int32_t rows = rowsValue->getInteger();
  const int32_t cols = colsValue->getInteger();
  if (rows < 1 || cols < 1 || !fitsElementBudget(rows, cols)) {
    call.report() << "Syntax error create matrix\n";
    return;
  }
  Matrix m;
  m.setSize(rows, cols);
  keepOwnSlice(m);
  call.targetScope.addVariable(Object(name, ValueType::Matrix, makePayload(std::move(m))));
}
