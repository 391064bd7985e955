#include <unordered_map>

#include "builtins/builtins.h"
#include "interp/builtin.h"
#include "builtins/core_keywords.h"
#include "builtins/quantum_keywords.h"
#include "builtins/arithmetic.h"

// The language's keywords in matching order. Built-ins are always matched
// before extension commands.
const std::vector<BuiltinEntry>& builtinTable() {
  static const std::vector<BuiltinEntry> table = {
      {"global", builtinGlobal},
      {"begin", builtinBegin},
      {"while", builtinWhile},
      {"nop", builtinNop},
      {"NOP", builtinNop},
      {"rootOfUnity", builtinRootOfUnity},
      {"rand", builtinRand},
      {"randf", builtinRandf},
      {"cast", builtinCast},
      {"neg", builtinNeg},
      {"is_unitary", builtinIsUnitary},
      {"transpose", builtinTranspose},
      {"gate", builtinGate},
      {"sin", builtinSin},
      {"cos", builtinCos},
      {"inv", builtinInv},
      {"sqrt", builtinSqrt},
      {"pow2", builtinPow2},
      {"pow", builtinPow},
      {"powm", builtinPowm},
      {"exp", builtinExp},
      {"comp.less", builtinLess},
      {"comp.lt", builtinLess},
      {"<", builtinLess},
      {"comp.lte", builtinLessEqual},
      {"comp.gt", builtinGreater},
      {">", builtinGreater},
      {"comp.gte", builtinGreaterEqual},
      {"comp.ne", builtinNotEqual},
      {"!=", builtinNotEqual},
      {"comp.eq", builtinEqual},
      {"==", builtinEqual},
      {"if", builtinIf},
      {"user.input", builtinUserInput},
      {"file", builtinFile},
      {"delete", builtinDelete},
      {"new", builtinNew},
      {"index", builtinIndex},
      {"get_index", builtinGetIndex},
      {"integer", builtinInteger},
      {"double", builtinDouble},
      {"real", builtinReal},
      {"complex", builtinComplex},
      {"cnorm", builtinCnorm},
      {"vector", builtinVector},
      {"rowSize", builtinRowSize},
      {"colSize", builtinColSize},
      {"random_int", builtinRandomInt},
      {"matrix", builtinMatrix},
      {"get", builtinGet},
      {"size", builtinSize},
      {"set", builtinSet},
      {"add", builtinAdd},
      {"+", builtinAdd},
      {"subtract", builtinSubtract},
      {"-", builtinSubtract},
      {"div_d", builtinDivD},
      {"apply_op", builtinApplyOp},
      {"mult", builtinMult},
      {"*", builtinMult},
      {"div", builtinDiv},
      {"/", builtinDiv},
      {"mod", builtinMod},
      {"and", builtinAnd},
      {"set_element", builtinSetElement},
      {"get_element", builtinGetElement},
      {"print", builtinPrint},
      {"print_new_line", builtinPrintNewLine},
      {"print_one_line", builtinPrintOneLine},
      {"new_file", builtinNewFile},
      {"print_file", builtinPrintFile},
      {"tensor", builtinTensor},
      {"partial_measure", builtinPartialMeasure},
      {"measure_distribution", builtinMeasureDistribution},
      {"measure", builtinMeasure},
      {"measure_qbit", builtinMeasureQbit},
      {"help", builtinHelp},
  };
  return table;
}

BuiltinFn findBuiltin(const std::string& keyword) {
  // Keywords are distinct, so a hash look-up finds what the ordered scan of
  // the table would find first.
  static const std::unordered_map<std::string, BuiltinFn> index = [] {
    std::unordered_map<std::string, BuiltinFn> map;
    for (const BuiltinEntry& e : builtinTable()) map.emplace(e.keyword, e.fn);
    return map;
  }();
  const auto it = index.find(keyword);
  return it == index.end() ? nullptr : it->second;
}
