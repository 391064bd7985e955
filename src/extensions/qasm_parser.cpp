#include "extensions/qasm_parser.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <map>
#include <numbers>
#include <utility>

#include "extensions/qasm_gates.h"

namespace {

// How deep parameter expressions may nest, how deep gate definitions may
// call each other and how deep includes may go: enough for any real
// program, and a bound on the recursion a hostile one can cause.
constexpr int32_t kMaxExpressionDepth = 100;
constexpr int32_t kMaxExpressionTree = 256;
constexpr int32_t kMaxGateDepth = 64;
constexpr int32_t kMaxIncludeDepth = 16;
// The gate calls an expansion may make for each operation it may emit.
constexpr size_t kGateCallsPerOperation = 4;

// A place in a source file.
struct Where {
  const std::string* file = nullptr;
  int32_t line = 0;
  int32_t column = 0;
};

struct Token {
  enum class Kind { Identifier, Number, String, Symbol, End };
  Kind kind = Kind::End;
  std::string text;
  Where at;
  bool integer = false;  // a number of digits only
};

[[noreturn]] void fail(const Where& at, const std::string& reason) {
  throw QasmError(*at.file + ":" + std::to_string(at.line) + ":" + std::to_string(at.column) + ": " + reason);
}

bool isLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

std::vector<Token> tokenize(const std::string* file, const std::string& text) {
  std::vector<Token> tokens;
  int32_t line = 1;
  size_t lineStart = 0;
  size_t i = 0;
  auto here = [&](size_t at) { return Where{file, line, static_cast<int32_t>(at - lineStart + 1)}; };
  while (i < text.size()) {
    const char c = text[i];
    if (c == '\n') {
      ++line;
      lineStart = ++i;
      continue;
    }
    if (c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v') {
      ++i;
      continue;
    }
    if (c == '/' && i + 1 < text.size() && text[i + 1] == '/') {
      while (i < text.size() && text[i] != '\n') ++i;
      continue;
    }
    Token t;
    t.at = here(i);
    const size_t start = i;
    if (isLetter(c)) {
      while (i < text.size() && (isLetter(text[i]) || isDigit(text[i]))) ++i;
      t.kind = Token::Kind::Identifier;
    } else if (isDigit(c) || (c == '.' && i + 1 < text.size() && isDigit(text[i + 1]))) {
      t.integer = true;
      while (i < text.size() && isDigit(text[i])) ++i;
      if (i < text.size() && text[i] == '.') {
        t.integer = false;
        ++i;
        while (i < text.size() && isDigit(text[i])) ++i;
      }
      if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        size_t j = i + 1;
        if (j < text.size() && (text[j] == '+' || text[j] == '-')) ++j;
        if (j < text.size() && isDigit(text[j])) {
          t.integer = false;
          i = j;
          while (i < text.size() && isDigit(text[i])) ++i;
        }
      }
      t.kind = Token::Kind::Number;
    } else if (c == '"') {
      ++i;
      while (i < text.size() && text[i] != '"' && text[i] != '\n') ++i;
      if (i >= text.size() || text[i] != '"') fail(t.at, "unterminated string");
      t.kind = Token::Kind::String;
      t.text = text.substr(start + 1, i - start - 1);
      ++i;
      tokens.push_back(std::move(t));
      continue;
    } else if ((c == '-' && i + 1 < text.size() && text[i + 1] == '>') ||
               (c == '=' && i + 1 < text.size() && text[i + 1] == '=')) {
      i += 2;
      t.kind = Token::Kind::Symbol;
    } else if (c != '\0' && std::strchr(";,()[]{}+-*/^", c) != nullptr) {
      ++i;
      t.kind = Token::Kind::Symbol;
    } else {
      const unsigned char u = static_cast<unsigned char>(c);
      fail(t.at, u >= 32 && u < 127 ? std::string("unexpected character '") + c + "'"
                                    : "unexpected byte " + std::to_string(static_cast<int>(u)));
    }
    t.text = text.substr(start, i - start);
    tokens.push_back(std::move(t));
  }
  Token end;
  end.at = here(i);
  tokens.push_back(std::move(end));
  return tokens;
}

// A node of a parameter expression.
struct Expr {
  enum class Op { Number, Param, Neg, Add, Sub, Mul, Div, Pow, Sin, Cos, Tan, Exp, Ln, Sqrt };
  Op op = Op::Number;
  double value = 0.0;
  int32_t a = -1;  // operand, or the parameter's number
  int32_t b = -1;
  int32_t height = 1;  // of the tree below and including this node
};

const std::map<std::string, Expr::Op>& functions() {
  static const std::map<std::string, Expr::Op> f = {{"sin", Expr::Op::Sin}, {"cos", Expr::Op::Cos},
                                                    {"tan", Expr::Op::Tan}, {"exp", Expr::Op::Exp},
                                                    {"ln", Expr::Op::Ln},   {"sqrt", Expr::Op::Sqrt}};
  return f;
}

bool isReserved(const std::string& word) {
  static const char* const words[] = {"OPENQASM", "include", "qreg", "creg", "gate", "opaque", "barrier",
                                      "measure",  "reset",   "if",   "U",    "CX",   "pi"};
  for (const char* w : words) {
    if (word == w) return true;
  }
  return functions().count(word) != 0;
}

// Gate numbers below zero stand for the built-in gates.
constexpr int32_t kGateU = -1;
constexpr int32_t kGateCX = -2;

// A statement of a gate body: a gate on some of the defining gate's
// qubit arguments, with parameters computed from its own.
struct GateCall {
  int32_t gate = 0;
  std::vector<int32_t> params;  // expression roots
  std::vector<int32_t> args;    // numbers of the defining gate's arguments
  Where at;
};

struct GateDefinition {
  std::string name;
  int32_t paramCount = 0;
  int32_t qubitCount = 0;
  bool opaque = false;
  bool standard = false;  // defined by the standard header
  int32_t depth = 0;      // how deep its body's calls nest
  std::vector<GateCall> body;
};

// A register operand of a statement: a whole register or one bit of it.
struct Operand {
  const QasmRegister* reg = nullptr;
  int32_t index = -1;  // -1: the whole register
  Where at;
};

class Parser {
 public:
  Parser(const QasmFileReader& read, const QasmOptions& options) : read_(read), options_(options) {}

  QasmProgram parse(const std::string& name, const std::string& text) {
    parseFile(name, text, 0, false);
    return std::move(program_);
  }

 private:
  // --- files and tokens ---

  void parseFile(const std::string& name, const std::string& text, int32_t depth, bool standard) {
    names_.push_back(name);
    std::vector<Token> tokens = tokenize(&names_.back(), text);
    std::swap(tokens_, tokens);
    const size_t savedPos = pos_;
    const bool savedStandard = standard_;
    pos_ = 0;
    standard_ = standard;
    if (depth == 0) parseVersion();
    while (peek().kind != Token::Kind::End) parseStatement(depth);
    std::swap(tokens_, tokens);
    pos_ = savedPos;
    standard_ = savedStandard;
  }

  const Token& peek() const { return tokens_[pos_]; }
  const Token& next() {
    const Token& t = tokens_[pos_];
    if (t.kind != Token::Kind::End) ++pos_;
    return t;
  }
  bool isSymbol(const char* s) const { return peek().kind == Token::Kind::Symbol && peek().text == s; }
  bool accept(const char* s) {
    if (!isSymbol(s)) return false;
    ++pos_;
    return true;
  }
  static std::string shown(const Token& t) {
    return t.kind == Token::Kind::End ? std::string("the end of the file") : "'" + t.text + "'";
  }
  const Token& expect(const char* s) {
    if (!isSymbol(s)) fail(peek().at, std::string("expected '") + s + "' but found " + shown(peek()));
    return next();
  }
  const Token& expectIdentifier(const char* what) {
    if (peek().kind != Token::Kind::Identifier || isReserved(peek().text)) {
      fail(peek().at, std::string("expected ") + what + " but found " + shown(peek()));
    }
    return next();
  }
  int64_t expectInteger(const char* what) {
    const Token& t = peek();
    if (t.kind != Token::Kind::Number || !t.integer)
      fail(t.at, std::string("expected ") + what + " but found " + shown(t));
    errno = 0;
    const long long value = std::strtoll(t.text.c_str(), nullptr, 10);
    if (errno == ERANGE || value > INT32_MAX) fail(t.at, "number " + t.text + " is too large");
    next();
    return value;
  }

  void parseVersion() {
    const Token& head = peek();
    if (head.kind != Token::Kind::Identifier || head.text != "OPENQASM") {
      fail(head.at, "a program starts with 'OPENQASM 2.0;'");
    }
    next();
    const Token& version = peek();
    if (version.kind != Token::Kind::Number) fail(version.at, "expected a version number but found " + shown(version));
    const double v = std::strtod(version.text.c_str(), nullptr);
    if (v >= 3.0 && v < 4.0) {
      fail(version.at, "OpenQASM 3 is not supported: run_qasm reads OpenQASM 2.0");
    } else if (v != 2.0) {
      fail(version.at, "version " + version.text + " is not supported: run_qasm reads OpenQASM 2.0");
    }
    next();
    expect(";");
  }

  // --- statements ---

  void parseStatement(int32_t depth) {
    const Token& t = peek();
    if (t.kind != Token::Kind::Identifier) fail(t.at, "expected a statement but found " + shown(t));
    const std::string& word = t.text;
    if (word == "OPENQASM") fail(t.at, "'OPENQASM' stands only at the start of the program");
    if (word == "include") return parseInclude(depth);
    if (word == "qreg" || word == "creg") return parseRegister(word == "qreg");
    if (word == "gate" || word == "opaque") return parseGateDefinition(word == "opaque");
    if (word == "barrier") {
      next();
      quantumOperand();
      while (accept(",")) quantumOperand();
      expect(";");
      return;
    }
    if (word == "if") return parseIf();
    parseOperation(Condition{});
  }

  void parseInclude(int32_t depth) {
    const Where at = next().at;
    const Token& file = peek();
    if (file.kind != Token::Kind::String) fail(file.at, "expected a file name in quotes but found " + shown(file));
    const std::string path = next().text;
    expect(";");
    if (depth + 1 > kMaxIncludeDepth)
      fail(at, "includes nested more than " + std::to_string(kMaxIncludeDepth) + " deep");
    if (path == kStandardHeaderName) {
      if (!standardIncluded_) {
        standardIncluded_ = true;
        parseFile(kStandardHeaderName, kStandardHeaderText, depth + 1, true);
      }
      return;
    }
    // Relative to the folder of the file that includes it.
    const std::string& including = *at.file;
    const size_t slash = including.rfind('/');
    const std::string joined =
        path.empty() || path[0] == '/' || slash == std::string::npos ? path : including.substr(0, slash + 1) + path;
    std::string text;
    if (!read_(joined, text)) fail(at, "cannot open the included file '" + path + "'");
    parseFile(joined, text, depth + 1, false);
  }

  void parseRegister(bool quantum) {
    next();
    const Token& name = expectIdentifier("a register name");
    expect("[");
    const Token& sizeToken = peek();
    const int64_t size = expectInteger("the register's size");
    expect("]");
    expect(";");
    if (findRegister(name.text)) fail(name.at, "register '" + name.text + "' is already declared");
    if (size < 1) fail(sizeToken.at, "a register holds at least one bit");
    if (quantum) {
      if (program_.qubitCount + size > options_.maxQubits) {
        fail(sizeToken.at, std::to_string(program_.qubitCount + size) + " qubits in all exceed the element budget (" +
                               std::to_string(options_.maxQubits) + " at most)");
      }
      registerIndex_[name.text] = {true, static_cast<int32_t>(program_.quantumRegisters.size())};
      program_.quantumRegisters.push_back(QasmRegister{name.text, program_.qubitCount, static_cast<int32_t>(size)});
      program_.qubitCount += static_cast<int32_t>(size);
    } else {
      if (size > 31) fail(sizeToken.at, "classical register '" + name.text + "' is wider than 31 bits");
      registerIndex_[name.text] = {false, static_cast<int32_t>(program_.classicalRegisters.size())};
      program_.classicalRegisters.push_back(QasmRegister{name.text, program_.bitCount, static_cast<int32_t>(size)});
      program_.bitCount += static_cast<int32_t>(size);
    }
  }

  const QasmRegister* findRegister(const std::string& name) const {
    const auto found = registerIndex_.find(name);
    if (found == registerIndex_.end()) return nullptr;
    const auto& list = found->second.first ? program_.quantumRegisters : program_.classicalRegisters;
    return &list[static_cast<size_t>(found->second.second)];
  }

  bool isQuantum(const QasmRegister* reg) const {
    return reg >= program_.quantumRegisters.data() &&
           reg < program_.quantumRegisters.data() + program_.quantumRegisters.size();
  }

  // NAME or NAME[INDEX], naming a declared register and an index in it.
  Operand parseOperand() {
    Operand operand;
    operand.at = peek().at;
    const Token& name = expectIdentifier("a register");
    operand.reg = findRegister(name.text);
    if (!operand.reg) fail(name.at, "undeclared register '" + name.text + "'");
    if (accept("[")) {
      const Token& indexToken = peek();
      const int64_t index = expectInteger("an index");
      expect("]");
      if (index >= operand.reg->size) {
        fail(indexToken.at, "index " + std::to_string(index) + " is out of range for '" + name.text + "' of size " +
                                std::to_string(operand.reg->size));
      }
      operand.index = static_cast<int32_t>(index);
    }
    return operand;
  }

  Operand quantumOperand() {
    Operand o = parseOperand();
    if (!isQuantum(o.reg)) fail(o.at, "'" + o.reg->name + "' is not a quantum register");
    return o;
  }

  Operand classicalOperand() {
    Operand o = parseOperand();
    if (isQuantum(o.reg)) fail(o.at, "'" + o.reg->name + "' is not a classical register");
    return o;
  }

  // The condition of an `if`, tested once per statement.
  struct Condition {
    int32_t reg = -1;
    int64_t value = 0;
  };

  void parseIf() {
    next();
    expect("(");
    const Token& name = expectIdentifier("a classical register");
    const QasmRegister* reg = findRegister(name.text);
    if (!reg) fail(name.at, "undeclared register '" + name.text + "'");
    if (isQuantum(reg)) fail(name.at, "'" + name.text + "' is not a classical register");
    expect("==");
    const int64_t value = expectInteger("a non-negative integer");
    expect(")");
    const Token& op = peek();
    if (op.kind != Token::Kind::Identifier || op.text == "if" || op.text == "barrier" || op.text == "gate" ||
        op.text == "opaque" || op.text == "qreg" || op.text == "creg" || op.text == "include") {
      fail(op.at, "expected a gate, measure or reset after if (...) but found " + shown(op));
    }
    parseOperation(Condition{static_cast<int32_t>(reg - program_.classicalRegisters.data()), value});
  }

  // A gate, measure or reset, broadcast over whole registers.
  void parseOperation(const Condition& condition) {
    firstOfStatement_ = true;
    const Token& word = peek();
    if (word.text == "measure") {
      next();
      const Operand from = quantumOperand();
      expect("->");
      const Operand to = classicalOperand();
      expect(";");
      const int32_t count = broadcastCount({from, to}, word.at);
      if ((from.index < 0) != (to.index < 0)) fail(word.at, "measure takes two whole registers or two single bits");
      for (int32_t i = 0; i < count; ++i) {
        QasmOperation op;
        op.kind = QasmOperation::Kind::Measure;
        op.qubits = {from.reg->offset + (from.index < 0 ? i : from.index)};
        op.bit = to.reg->offset + (to.index < 0 ? i : to.index);
        emit(std::move(op), condition, word.at);
      }
      return;
    }
    if (word.text == "reset") {
      next();
      const Operand target = quantumOperand();
      expect(";");
      const int32_t count = broadcastCount({target}, word.at);
      for (int32_t i = 0; i < count; ++i) {
        QasmOperation op;
        op.kind = QasmOperation::Kind::Reset;
        op.qubits = {target.reg->offset + (target.index < 0 ? i : target.index)};
        emit(std::move(op), condition, word.at);
      }
      return;
    }
    const Where at = word.at;
    const int32_t gate = gateNamed(next());
    std::vector<int32_t> roots;
    if (accept("(")) {
      if (!accept(")")) {
        roots.push_back(parseExpression({}, 0));
        while (accept(",")) roots.push_back(parseExpression({}, 0));
        expect(")");
      }
    }
    std::vector<Operand> operands;
    operands.push_back(quantumOperand());
    while (accept(",")) operands.push_back(quantumOperand());
    expect(";");
    checkShape(gate, static_cast<int32_t>(roots.size()), static_cast<int32_t>(operands.size()), at);
    if (gate >= 0 && gates_[static_cast<size_t>(gate)].opaque) {
      fail(at, "opaque gate '" + word.text + "' has no definition to apply");
    }
    std::vector<double> params;
    for (int32_t root : roots) params.push_back(evaluate(root, {}));
    requireFinite(params, word.text, at);
    const int32_t count = broadcastCount(operands, at);
    for (int32_t i = 0; i < count; ++i) {
      std::vector<int32_t> qubits;
      for (const Operand& o : operands) {
        const int32_t q = o.reg->offset + (o.index < 0 ? i : o.index);
        for (int32_t earlier : qubits) {
          if (earlier == q) fail(at, "qubit " + qubitName(q) + " is used twice in one gate");
        }
        qubits.push_back(q);
      }
      expand(gate, params, qubits, condition, at);
    }
  }

  // How many times a statement applies: the size of its whole-register
  // operands (which must agree), or once.
  int32_t broadcastCount(const std::vector<Operand>& operands, const Where& at) const {
    int32_t count = -1;
    for (const Operand& o : operands) {
      if (o.index >= 0) continue;
      if (count >= 0 && o.reg->size != count) {
        fail(at, "registers of sizes " + std::to_string(count) + " and " + std::to_string(o.reg->size) +
                     " in one statement");
      }
      count = o.reg->size;
    }
    return count < 0 ? 1 : count;
  }

  std::string qubitName(int32_t q) const {
    for (const QasmRegister& r : program_.quantumRegisters) {
      if (q >= r.offset && q < r.offset + r.size) return r.name + "[" + std::to_string(q - r.offset) + "]";
    }
    return std::to_string(q);
  }

  // --- gates ---

  int32_t gateNamed(const Token& name) const {
    if (name.kind != Token::Kind::Identifier) fail(name.at, "expected a statement but found " + shown(name));
    if (name.text == "U") return kGateU;
    if (name.text == "CX") return kGateCX;
    const auto found = gateIndex_.find(name.text);
    if (found == gateIndex_.end()) {
      fail(name.at,
           isReserved(name.text) ? "'" + name.text + "' cannot stand here" : "unknown gate '" + name.text + "'");
    }
    return found->second;
  }

  void checkShape(int32_t gate, int32_t params, int32_t qubits, const Where& at) const {
    int32_t wantParams = 3, wantQubits = 1;
    std::string name = "U";
    if (gate == kGateCX) {
      wantParams = 0;
      wantQubits = 2;
      name = "CX";
    } else if (gate >= 0) {
      const GateDefinition& g = gates_[static_cast<size_t>(gate)];
      wantParams = g.paramCount;
      wantQubits = g.qubitCount;
      name = g.name;
    }
    auto count = [](int32_t n, const char* what) { return std::to_string(n) + " " + what + (n == 1 ? "" : "s"); };
    if (params != wantParams) {
      fail(at, "gate '" + name + "' takes " + count(wantParams, "parameter") + ", not " + std::to_string(params));
    }
    if (qubits != wantQubits) {
      fail(at, "gate '" + name + "' acts on " + count(wantQubits, "qubit") + ", not " + std::to_string(qubits));
    }
  }

  void parseGateDefinition(bool opaque) {
    next();
    const Token& name = expectIdentifier("a gate name");
    if (gateIndex_.count(name.text)) fail(name.at, "gate '" + name.text + "' is already defined");
    GateDefinition gate;
    gate.name = name.text;
    gate.opaque = opaque;
    gate.standard = standard_;
    std::vector<std::string> params;
    if (accept("(")) {
      if (!isSymbol(")")) params = parseNames("a parameter name");
      expect(")");
    }
    const std::vector<std::string> args = parseNames("a qubit argument");
    for (const std::string& a : args) {
      for (const std::string& p : params) {
        if (a == p) fail(name.at, "'" + a + "' names both a parameter and a qubit argument");
      }
    }
    gate.paramCount = static_cast<int32_t>(params.size());
    gate.qubitCount = static_cast<int32_t>(args.size());
    if (opaque) {
      expect(";");
    } else {
      expect("{");
      while (!accept("}")) {
        if (peek().kind == Token::Kind::End) fail(peek().at, "expected '}' but found the end of the file");
        parseBodyStatement(gate, params, args);
      }
    }
    if (gate.depth > kMaxGateDepth) {
      fail(name.at, "gate definitions nested more than " + std::to_string(kMaxGateDepth) + " deep");
    }
    gateIndex_[gate.name] = static_cast<int32_t>(gates_.size());
    gates_.push_back(std::move(gate));
  }

  std::vector<std::string> parseNames(const char* what) {
    std::vector<std::string> names;
    do {
      const Token& t = expectIdentifier(what);
      for (const std::string& n : names) {
        if (n == t.text) fail(t.at, "'" + t.text + "' is named twice");
      }
      names.push_back(t.text);
    } while (accept(","));
    return names;
  }

  void parseBodyStatement(GateDefinition& gate, const std::vector<std::string>& params,
                          const std::vector<std::string>& args) {
    const Token& word = peek();
    const bool barrier = word.kind == Token::Kind::Identifier && word.text == "barrier";
    GateCall call;
    call.at = word.at;
    if (barrier) {
      next();
    } else {
      call.gate = gateNamed(next());
      if (accept("(")) {
        if (!accept(")")) {
          call.params.push_back(parseExpression(params, 0));
          while (accept(",")) call.params.push_back(parseExpression(params, 0));
          expect(")");
        }
      }
    }
    do {
      const Token& arg = expectIdentifier("a qubit argument");
      if (isSymbol("[")) fail(peek().at, "a gate body names its qubit arguments without an index");
      int32_t number = -1;
      for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == arg.text) number = static_cast<int32_t>(i);
      }
      if (number < 0) fail(arg.at, "'" + arg.text + "' is not a qubit argument of gate '" + gate.name + "'");
      if (!barrier) {
        for (int32_t earlier : call.args) {
          if (earlier == number) fail(arg.at, "qubit '" + arg.text + "' is used twice in one gate");
        }
      }
      call.args.push_back(number);
    } while (accept(","));
    expect(";");
    if (barrier) return;
    checkShape(call.gate, static_cast<int32_t>(call.params.size()), static_cast<int32_t>(call.args.size()), call.at);
    if (call.gate >= 0) {
      gate.depth = std::max(gate.depth, gates_[static_cast<size_t>(call.gate)].depth + 1);
    }
    gate.body.push_back(std::move(call));
  }

  // --- expressions ---

  int32_t node(Expr e) {
    // Evaluation recurses through the tree: a long chain a+b+c+... is as
    // deep as its length, so the tree's height is bounded too.
    const bool hasA = e.op != Expr::Op::Number && e.op != Expr::Op::Param;
    if (hasA) e.height = 1 + exprs_[static_cast<size_t>(e.a)].height;
    if (e.b >= 0) e.height = std::max(e.height, 1 + exprs_[static_cast<size_t>(e.b)].height);
    if (e.height > kMaxExpressionTree) {
      fail(peek().at, "expression nested more than " + std::to_string(kMaxExpressionTree) + " deep");
    }
    exprs_.push_back(e);
    return static_cast<int32_t>(exprs_.size() - 1);
  }

  int32_t parseExpression(const std::vector<std::string>& params, int32_t depth) {
    int32_t left = parseTerm(params, depth);
    for (;;) {
      if (accept("+")) {
        left = node(Expr{Expr::Op::Add, 0.0, left, parseTerm(params, depth)});
      } else if (accept("-")) {
        left = node(Expr{Expr::Op::Sub, 0.0, left, parseTerm(params, depth)});
      } else {
        return left;
      }
    }
  }

  int32_t parseTerm(const std::vector<std::string>& params, int32_t depth) {
    int32_t left = parseUnary(params, depth);
    for (;;) {
      if (accept("*")) {
        left = node(Expr{Expr::Op::Mul, 0.0, left, parseUnary(params, depth)});
      } else if (accept("/")) {
        left = node(Expr{Expr::Op::Div, 0.0, left, parseUnary(params, depth)});
      } else {
        return left;
      }
    }
  }

  // Unary minus binds looser than ^: -a^b is -(a^b); ^ groups to the right.
  int32_t parseUnary(const std::vector<std::string>& params, int32_t depth) {
    if (depth > kMaxExpressionDepth) {
      fail(peek().at, "expression nested more than " + std::to_string(kMaxExpressionDepth) + " deep");
    }
    if (accept("-")) return node(Expr{Expr::Op::Neg, 0.0, parseUnary(params, depth + 1), -1});
    if (accept("+")) return parseUnary(params, depth + 1);
    const int32_t base = parsePrimary(params, depth);
    if (accept("^")) return node(Expr{Expr::Op::Pow, 0.0, base, parseUnary(params, depth + 1)});
    return base;
  }

  int32_t parsePrimary(const std::vector<std::string>& params, int32_t depth) {
    const Token& t = peek();
    if (t.kind == Token::Kind::Number) {
      next();
      return node(Expr{Expr::Op::Number, std::strtod(t.text.c_str(), nullptr), -1, -1});
    }
    if (accept("(")) {
      const int32_t inner = parseExpression(params, depth + 1);
      expect(")");
      return inner;
    }
    if (t.kind == Token::Kind::Identifier) {
      if (t.text == "pi") {
        next();
        return node(Expr{Expr::Op::Number, std::numbers::pi, -1, -1});
      }
      const auto function = functions().find(t.text);
      if (function != functions().end()) {
        next();
        expect("(");
        const int32_t argument = parseExpression(params, depth + 1);
        expect(")");
        return node(Expr{function->second, 0.0, argument, -1});
      }
      for (size_t i = 0; i < params.size(); ++i) {
        if (params[i] == t.text) {
          next();
          return node(Expr{Expr::Op::Param, 0.0, static_cast<int32_t>(i), -1});
        }
      }
      fail(t.at, "unknown parameter '" + t.text + "'");
    }
    fail(t.at, "expected a number or a parameter but found " + shown(t));
  }

  // A parameter that is infinite or not a number (1/0, ln(0), sqrt(-1))
  // would fill the state with NaN: the program is refused instead.
  void requireFinite(const std::vector<double>& params, const std::string& gate, const Where& at) const {
    for (size_t i = 0; i < params.size(); ++i) {
      if (!std::isfinite(params[i])) {
        fail(at, "parameter " + std::to_string(i + 1) + " of '" + gate + "' is not a finite number");
      }
    }
  }

  double evaluate(int32_t root, const std::vector<double>& params) const {
    const Expr& e = exprs_[static_cast<size_t>(root)];
    auto a = [&] { return evaluate(e.a, params); };
    auto b = [&] { return evaluate(e.b, params); };
    switch (e.op) {
      case Expr::Op::Number:
        return e.value;
      case Expr::Op::Param:
        return params[static_cast<size_t>(e.a)];
      case Expr::Op::Neg:
        return -a();
      case Expr::Op::Add:
        return a() + b();
      case Expr::Op::Sub:
        return a() - b();
      case Expr::Op::Mul:
        return a() * b();
      case Expr::Op::Div:
        return a() / b();
      case Expr::Op::Pow:
        return std::pow(a(), b());
      case Expr::Op::Sin:
        return std::sin(a());
      case Expr::Op::Cos:
        return std::cos(a());
      case Expr::Op::Tan:
        return std::tan(a());
      case Expr::Op::Exp:
        return std::exp(a());
      case Expr::Op::Ln:
        return std::log(a());
      case Expr::Op::Sqrt:
        return std::sqrt(a());
    }
    return 0.0;
  }

  // --- expansion into operations ---

  void expand(int32_t gate, const std::vector<double>& params, const std::vector<int32_t>& qubits,
              const Condition& condition, const Where& at) {
    // Gates whose bodies are empty or hold only barriers emit nothing, so
    // the calls are counted too: doubling definitions of them would
    // otherwise expand for ages without reaching the operations' bound.
    if (++gateCalls_ > kGateCallsPerOperation * options_.maxOperations) {
      fail(at, "the program's gates expand to more than " +
                   std::to_string(kGateCallsPerOperation * options_.maxOperations) + " gate calls");
    }
    if (gate == kGateU)
      return emitGate(kGateU, params, universalGateMatrix(params[0], params[1], params[2]), qubits, condition, at);
    if (gate == kGateCX) return emitGate(kGateCX, params, controlledNotMatrix(), qubits, condition, at);
    const GateDefinition& g = gates_[static_cast<size_t>(gate)];
    if (g.opaque) fail(at, "opaque gate '" + g.name + "' has no definition to apply");
    Matrix exact;
    if (g.standard && !options_.literalHeader && standardGateMatrix(g.name, params, exact)) {
      return emitGate(gate, params, std::move(exact), qubits, condition, at);
    }
    for (const GateCall& call : g.body) {
      std::vector<double> callParams;
      for (int32_t root : call.params) callParams.push_back(evaluate(root, params));
      requireFinite(callParams, gates_[static_cast<size_t>(call.gate)].name, call.at);
      std::vector<int32_t> callQubits;
      for (int32_t arg : call.args) callQubits.push_back(qubits[static_cast<size_t>(arg)]);
      expand(call.gate, callParams, callQubits, condition, call.at);
    }
  }

  void emitGate(int32_t gate, const std::vector<double>& params, Matrix matrix, const std::vector<int32_t>& qubits,
                const Condition& condition, const Where& at) {
    std::vector<uint64_t> key{static_cast<uint64_t>(static_cast<int64_t>(gate))};
    for (double p : params) {
      uint64_t bits;
      std::memcpy(&bits, &p, sizeof bits);
      key.push_back(bits);
    }
    auto found = matrixIndex_.find(key);
    if (found == matrixIndex_.end()) {
      found = matrixIndex_.emplace(std::move(key), static_cast<int32_t>(program_.matrices.size())).first;
      program_.matrices.push_back(std::move(matrix));
    }
    QasmOperation op;
    op.qubits = qubits;
    op.matrix = found->second;
    emit(std::move(op), condition, at);
  }

  void emit(QasmOperation op, const Condition& condition, const Where& at) {
    if (program_.operations.size() >= options_.maxOperations) {
      fail(at, "the program expands to more than " + std::to_string(options_.maxOperations) + " operations");
    }
    op.conditionRegister = condition.reg;
    op.conditionValue = condition.value;
    op.sameCondition = condition.reg >= 0 && !firstOfStatement_;
    firstOfStatement_ = false;
    program_.operations.push_back(std::move(op));
  }

  const QasmFileReader& read_;
  const QasmOptions& options_;
  QasmProgram program_;
  std::deque<std::string> names_;  // file names the tokens point to
  std::vector<Token> tokens_;
  size_t pos_ = 0;
  bool standard_ = false;
  bool standardIncluded_ = false;
  bool firstOfStatement_ = true;
  size_t gateCalls_ = 0;
  std::vector<GateDefinition> gates_;
  std::map<std::string, int32_t> gateIndex_;
  std::map<std::string, std::pair<bool, int32_t>> registerIndex_;  // quantum?, number
  std::vector<Expr> exprs_;
  std::map<std::vector<uint64_t>, int32_t> matrixIndex_;
};

}  // namespace

QasmProgram parseQasm(const std::string& name, const std::string& text, const QasmFileReader& read,
                      const QasmOptions& options) {
  Parser parser(read, options);
  return parser.parse(name, text);
}
