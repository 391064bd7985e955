#include "builtins/keyword_help.h"

#include <algorithm>
#include <sstream>

namespace {

// Each keyword once, its aliases beside it; the examples run as shown.
const std::vector<KeywordHelp> kTable = {
    {"control", "global", "", "global X",
     "Evaluates X with the global variables as the target of every variable operation: new creates globals. Gives X's value.",
     "global (new integer count)",
     "NULL\n"},
    {"control", "begin", "", "begin S1 S2 ...",
     "Evaluates the statements in order; variables they create live until the begin ends. Gives the value of the last statement that produced one.",
     "begin (new integer i) (set i 4) (get i)",
     "integer i = 4\n"},
    {"control", "while", "", "while C S1 S2 ...",
     "Evaluates the statements while the integer C is non-zero; a key press or Ctrl-C breaks the loop. Gives no value.",
     "begin (new integer i) (while (< (get i) 2) (print (get i)) (set i (add (get i) 1)))",
     "integer i = 0\ninteger i = 1\nNULL\n"},
    {"control", "nop", "NOP", "nop X",
     "Does nothing; its arguments are not evaluated. Gives no value.",
     "nop 0",
     "NULL\n"},
    {"control", "if", "", "if C T E",
     "C must be an integer: gives T's value when it is non-zero, else E's (the empty string without E). Only the chosen branch runs; a thrown message inside it is reported as a syntax error.",
     "if (< 1 2) yes no",
     "string temp = yes\n"},
    {"variables", "new", "", "new KIND NAME ...",
     "Creates variables: new integer|double|complex N, new matrix M R C, new array A TYPE n (A.0 ... and A.size), new space S d (S.ket.k, S.bra.k, S.size), new system Y n S1 ... Sn. Gives no value.",
     "begin (new space q 2) (get q.ket.1)",
     "matrix q.ket.1 = \n0 + 0i\t\n1 + 0i\t\n"},
    {"variables", "delete", "", "delete N",
     "Removes the variable N from the scope it is written in (the globals at the prompt). Gives no value.",
     "begin (new integer x) (delete x) (get x)",
     "NULL\n"},
    {"variables", "get", "", "get N",
     "Gives the value of the variable N under its name (nothing when there is none).",
     "begin (new complex z) (get z)",
     "complex z = 0 + 0i\n"},
    {"variables", "size", "", "size N",
     "Gives the variable N.size: a space's dimension, an array's length, a system's number of parts.",
     "begin (new space q 4) (size q)",
     "integer q.size = 4\n"},
    {"variables", "set", "", "set N V",
     "Assigns V to every visible variable N of V's type. Gives no value.",
     "begin (new double x) (set x 2.5) (get x)",
     "double x = 2.5\n"},
    {"arithmetic", "add", "+", "add A B",
     "A + B for two integers (wrapping), doubles, complex numbers or matrices of one shape; the result has their type.",
     "add 2 3",
     "integer temp = 5\n"},
    {"arithmetic", "subtract", "-", "subtract A B",
     "A - B, with the types of add.",
     "subtract 5 7",
     "integer temp = -2\n"},
    {"arithmetic", "mult", "*", "mult A B",
     "A times B: two integers, doubles or complex numbers; the matrix product of two matrices; a double or complex A scales a matrix B.",
     "mult 2.5 4",
     "double temp = 10\n"},
    {"arithmetic", "div", "/", "div A B",
     "A / B in the operands' own type: integers truncate toward zero, doubles follow floating point.",
     "div -7 2",
     "integer temp = -3\n"},
    {"arithmetic", "div_d", "", "div_d A B",
     "A / B as a double, for two integers or a double and an integer; div_d n 1 turns an integer into a double.",
     "div_d 7 2",
     "double temp = 3.5\n"},
    {"arithmetic", "mod", "", "mod A B",
     "A mod B for two integers; for a positive B the result lies in 0 ... B-1.",
     "mod -7 3",
     "integer temp = 2\n"},
    {"arithmetic", "and", "", "and A B",
     "The bitwise and of two integers (the conjunction of two comparisons).",
     "and 6 3",
     "integer temp = 2\n"},
    {"mathematics", "rootOfUnity", "", "rootOfUnity n",
     "The complex number e^(2*pi*i/n) for an integer n.",
     "rootOfUnity 4",
     "complex temp = 6.12323e-17 + 1i\n"},
    {"mathematics", "cast", "", "cast complex X",
     "The complex number X + 0i for a double X.",
     "cast complex 2.5",
     "complex temp = 2.5 + 0i\n"},
    {"mathematics", "neg", "", "neg X",
     "-X for an integer (wrapping), a double or a complex number.",
     "neg (complex 1 -2)",
     "complex temp = -1 + 2i\n"},
    {"mathematics", "sin", "", "sin X",
     "The sine of the double X (radians), as a double.",
     "sin 1.0",
     "double temp = 0.841471\n"},
    {"mathematics", "cos", "", "cos X",
     "The cosine of the double X (radians), as a double.",
     "cos 0.0",
     "double temp = 1\n"},
    {"mathematics", "inv", "", "inv X",
     "1/X as a double, for an integer or a double X.",
     "inv 4",
     "double temp = 0.25\n"},
    {"mathematics", "sqrt", "", "sqrt X",
     "The square root of an integer or a double X, as a double.",
     "sqrt 2",
     "double temp = 1.41421\n"},
    {"mathematics", "pow2", "", "pow2 n",
     "The integer 2^n, wrapping at 32 bits; 1 for n <= 0.",
     "pow2 10",
     "integer temp = 1024\n"},
    {"mathematics", "pow", "", "pow A B",
     "A^B: two integers give an integer (wrapping), a complex A and an integer B a complex number, two doubles a double.",
     "pow 3 4",
     "integer temp = 81\n"},
    {"mathematics", "powm", "", "powm A E M",
     "A^E modulo M for integers, reduced after every multiplication.",
     "powm 3 4 5",
     "integer temp = 1\n"},
    {"mathematics", "exp", "", "exp Z",
     "The complex number e^Z for a complex Z.",
     "exp (complex 0 0)",
     "complex temp = 1 + 0i\n"},
    {"mathematics", "integer", "", "integer X",
     "An integer as it is, or the number a string starts with (0 when none).",
     "integer 42abc",
     "integer temp = 42\n"},
    {"mathematics", "double", "", "double X",
     "A double as it is, or the number a string starts with.",
     "double 2.5e3",
     "double temp = 2500\n"},
    {"mathematics", "real", "", "real Z",
     "The real part of the complex Z, as a double.",
     "real (complex 1.5 2)",
     "double temp = 1.5\n"},
    {"mathematics", "complex", "", "complex RE IM",
     "The complex number RE + IM*i from two integers, doubles or strings.",
     "complex 1 2.5",
     "complex temp = 1 + 2.5i\n"},
    {"mathematics", "cnorm", "", "cnorm Z",
     "The squared modulus |Z|^2 of a complex Z or a 1 x 1 matrix, as a complex number.",
     "cnorm (complex 3 4)",
     "complex temp = 25 + 0i\n"},
    {"mathematics", "rand", "", "rand n",
     "A random integer from 0 to n-1, for an integer n >= 1.",
     "rand 1",
     "integer temp = 0\n"},
    {"mathematics", "randf", "", "randf LO HI",
     "A random double from LO up to HI (doubles), on a grid of 10000 steps.",
     "randf 2.0 2.0",
     "double temp = 2\n"},
    {"mathematics", "random_int", "", "random_int LO HI",
     "A random integer from LO to HI inclusive (one of 100 evenly spaced values).",
     "random_int 3 3",
     "integer temp = 3\n"},
    {"comparisons", "comp.less", "comp.lt <", "comp.less A B",
     "1 when A < B, else 0, for two integers or two doubles.",
     "< 1 2",
     "integer temp = 1\n"},
    {"comparisons", "comp.lte", "", "comp.lte A B",
     "1 when A <= B, else 0, for two integers or two doubles.",
     "comp.lte 1 1",
     "integer temp = 1\n"},
    {"comparisons", "comp.gt", ">", "comp.gt A B",
     "1 when A > B, else 0, for two integers or two doubles.",
     "> 3 2",
     "integer temp = 1\n"},
    {"comparisons", "comp.gte", "", "comp.gte A B",
     "1 when A >= B, else 0, for two integers or two doubles.",
     "comp.gte 1 2",
     "integer temp = 0\n"},
    {"comparisons", "comp.ne", "!=", "comp.ne A B",
     "1 when A differs from B, else 0, for two integers or two doubles (a line cannot start with !=).",
     "comp.ne 1.0 1.0",
     "integer temp = 0\n"},
    {"comparisons", "comp.eq", "==", "comp.eq A B",
     "1 when A equals B, else 0, for two integers or two doubles.",
     "== 2 2",
     "integer temp = 1\n"},
    {"arrays", "index", "", "index STEM I1 I2 ...",
     "The variable name STEM.I1.I2... as a string, from integer or string indices.",
     "index a 1 2",
     "string temp = a.1.2\n"},
    {"arrays", "get_index", "", "get_index STEM I",
     "The variable STEM.I, for a string STEM and an integer I.",
     "begin (new array a integer 3) (set a.2 5) (get_index a 2)",
     "integer a.2 = 5\n"},
    {"arrays", "rowSize", "", "rowSize M",
     "The number of rows of the matrix M, as an integer.",
     "rowSize (matrix 3 2 zero)",
     "integer temp = 3\n"},
    {"arrays", "colSize", "", "colSize M",
     "The number of columns of the matrix M, as an integer.",
     "colSize (matrix 3 2 zero)",
     "integer temp = 2\n"},
    {"arrays", "get_element", "", "get_element M I J",
     "The element in row I, column J of the matrix M (0-based integers), as a complex number.",
     "get_element (matrix 2 2 ident) 1 1",
     "complex temp = 1 + 0i\n"},
    {"arrays", "set_element", "", "set_element M I J V",
     "A copy of the matrix M with the element in row I, column J replaced by the complex or double V.",
     "set_element (matrix 2 2 zero) 0 1 2.5",
     "matrix temp = \n0 + 0i\t2.5 + 0i\t\n0 + 0i\t0 + 0i\t\n"},
    {"arrays", "vector", "", "vector ...",
     "Prints how many arguments it has, without evaluating them. Gives no value.",
     "vector 1 2 3",
     "create vector of size 3\nNULL\n"},
    {"console and files", "print", "", "print X",
     "Prints X with its type and name, as the echo does. Gives no value.",
     "print (div_d 1 3)",
     "double temp = 0.333333\nNULL\n"},
    {"console and files", "print_one_line", "", "print_one_line X",
     "Prints the value of X alone, without a line break. Gives no value.",
     "begin (print_one_line 5) (print_one_line 6) (print_new_line 0)",
     "56\nNULL\n"},
    {"console and files", "print_new_line", "", "print_new_line X",
     "Prints a line break; the argument is ignored. Gives no value.",
     "print_new_line 0",
     "\nNULL\n"},
    {"console and files", "user.input", "", "user.input KIND",
     "Reads a line from the console: with KIND integer gives the integer it starts with; any other KIND waits for Enter and gives no value.",
     "user.input integer",
     "Please enter an integer: \n"},
    {"console and files", "new_file", "", "new_file NAME",
     "Creates the file NAME empty, or empties it. Gives no value.",
     "new_file table.csv",
     "NULL\n"},
    {"console and files", "print_file", "", "print_file NAME V1 V2 ...",
     "Appends one line to the file NAME: each value followed by a comma. Gives no value.",
     "print_file table.csv 1 2.5",
     "NULL\n"},
    {"console and files", "file", "", "file PATH",
     "Runs the script file PATH (not evaluated) as one expression: line breaks become spaces. Gives the script's value.",
     "file examples/bell.txt",
     "matrix psi = \n0.707107 + 0i\t\n0 + 0i\t\n0 + 0i\t\n0.707107 + 0i\t\n"},
    {"console and files", "help", "", "help NAME",
     "Prints the help text of the extension command NAME (a string). Gives no value.",
     "help matrix",
     "NULL\n"},
    {"quantum", "gate", "", "gate cnot N C T",
     "The 2^N x 2^N controlled NOT with control qubit C and target qubit T (qubit j is bit j of the basis number).",
     "gate cnot 2 1 0",
     "matrix temp = \n1 + 0i\t0 + 0i\t0 + 0i\t0 + 0i\t\n0 + 0i\t1 + 0i\t0 + 0i\t0 + 0i\t\n0 + 0i\t0 + 0i\t0 + 0i\t1 + 0i\t\n0 + 0i\t0 + 0i\t1 + 0i\t0 + 0i\t\n"},
    {"quantum", "matrix", "", "matrix R C E00 E01 ...",
     "An R x C matrix from R*C complex elements row by row, or from one fill word: ident, zero, QFT (the Hadamard gate for 2 x 2), UFT, u_random A P X.",
     "matrix 2 2 ident",
     "matrix temp = \n1 + 0i\t0 + 0i\t\n0 + 0i\t1 + 0i\t\n"},
    {"quantum", "tensor", "", "tensor A B",
     "The tensor (Kronecker) product of two matrices; the left factor is the most significant.",
     "begin (new space q 2) (tensor (get q.ket.1) (get q.ket.0))",
     "matrix temp = \n0 + 0i\t\n0 + 0i\t\n1 + 0i\t\n0 + 0i\t\n"},
    {"quantum", "apply_op", "", "apply_op SYS K G PSI",
     "The state PSI with the operator G applied to subsystem K of the system SYS (subsystem 0 is the leftmost factor).",
     "begin (new space q 2) (new system pair 2 q q) (apply_op (get pair) 1 (matrix 2 2 QFT) (tensor (get q.ket.0) (get q.ket.0)))",
     "matrix temp = \n0.707107 + 0i\t\n0.707107 + 0i\t\n0 + 0i\t\n0 + 0i\t\n"},
    {"quantum", "is_unitary", "", "is_unitary A",
     "1 when A times its conjugate transpose is the identity (to 0.0001), else 0.",
     "is_unitary (matrix 4 4 QFT)",
     "integer temp = 1\n"},
    {"quantum", "transpose", "", "transpose A",
     "The conjugate transpose of the matrix A: a ket becomes its bra.",
     "transpose (matrix 2 1 (complex 1 2) (complex 3 0))",
     "matrix temp = \n1 + -2i\t3 + -0i\t\n"},
    {"quantum", "measure_qbit", "", "measure_qbit PSI Q NAME",
     "Measures qubit Q of the state PSI: stores the outcome 0 or 1 in the integer variable NAME and gives the collapsed state.",
     "begin (new integer bit) (print (measure_qbit (matrix 2 1 (complex 0 0) (complex 1 0)) 0 bit)) (get bit)",
     "matrix temp = \n0 + 0i\t\n1 + 0i\t\n\n\ninteger bit = 1\n"},
    {"quantum", "measure", "", "measure PSI SYS K NAME",
     "Measures subsystem K of the state PSI of the system SYS: stores the outcome in the integer variable NAME and gives the collapsed state.",
     "begin (new space q 2) (new system pair 2 q q) (new integer k) (measure (tensor (get q.ket.1) (get q.ket.0)) (get pair) 0 k) (get k)",
     "integer k = 1\n"},
    {"quantum", "partial_measure", "", "partial_measure PSI SYS K",
     "Measures like measure, printing the cumulative percentages, the outcome and its amplitude instead of storing the outcome; gives the collapsed state.",
     "begin (new space q 2) (new system one 1 q) (partial_measure (get q.ket.1) (get one) 0)",
     "p[0] = -1\np[1] = 100\nresult = 1\npSq = 1\nmatrix temp = \n0 + 0i\t\n"},
    {"quantum", "measure_distribution", "", "measure_distribution PSI SYS K PREFIX",
     "The probabilities of the outcomes of subsystem K as a vector, also stored in the double variables PREFIX.0, PREFIX.1, ... that exist.",
     "begin (new space q 2) (new system one 1 q) (measure_distribution (get q.ket.1) (get one) 0 p)",
     "vector temp = 0, 1, \n"},
};

}  // namespace

const std::vector<const char*>& keywordGroups() {
  static const std::vector<const char*> groups = {"control",     "variables", "arithmetic",        "mathematics",
                                                  "comparisons", "arrays",    "console and files", "quantum"};
  return groups;
}

const std::vector<KeywordHelp>& keywordHelpTable() { return kTable; }

namespace {

// The spellings of [entry]: its main keyword, then its aliases.
std::vector<std::string> spellings(const KeywordHelp& entry) {
  std::vector<std::string> words{entry.keyword};
  std::istringstream aliases(entry.aliases);
  for (std::string word; aliases >> word;) words.push_back(word);
  return words;
}

// Writes [words] after [label], breaking lines before they pass the width
// of a narrow terminal.
void printWrapped(std::ostream& out, const std::string& label, const std::vector<std::string>& words) {
  constexpr size_t kWidth = 78;
  const std::string indent(label.size(), ' ');
  std::string line = label;
  bool first = true;
  for (const std::string& word : words) {
    if (!first && line.size() + 1 + word.size() > kWidth) {
      out << line << "\n";
      line = indent;
      first = true;
    }
    if (!first) line += ' ';
    line += word;
    first = false;
  }
  out << line << "\n";
}

}  // namespace

const KeywordHelp* findKeywordHelp(const std::string& word) {
  for (const KeywordHelp& entry : kTable) {
    for (const std::string& spelling : spellings(entry)) {
      if (spelling == word) return &entry;
    }
  }
  return nullptr;
}

void printHelpIndex(const Interpreter& interp, std::ostream& out) {
  out << "Keywords by group (!help WORD describes one):\n";
  size_t labelWidth = 0;
  for (const char* group : keywordGroups()) labelWidth = std::max(labelWidth, std::string(group).size());
  for (const char* group : keywordGroups()) {
    std::vector<std::string> words;
    for (const KeywordHelp& entry : kTable) {
      if (std::string(entry.group) != group) continue;
      for (const std::string& spelling : spellings(entry)) words.push_back(spelling);
    }
    std::string label = "  " + std::string(group) + ":";
    label.resize(labelWidth + 5, ' ');
    printWrapped(out, label, words);
  }
  std::vector<std::string> commands;
  for (const auto& extension : interp.extensions) {
    if (extension) commands.push_back(extension->commandName());
  }
  if (commands.empty()) commands.push_back("(none)");
  printWrapped(out, "Extension commands: ", commands);
}

bool printHelpFor(Interpreter& interp, const std::string& word, std::ostream& out) {
  // Built-ins are matched before extension commands, here as on a line.
  if (const KeywordHelp* entry = findKeywordHelp(word)) {
    out << entry->usage << "\n";
    const std::vector<std::string> words = spellings(*entry);
    if (words.size() > 1) {
      out << "  also written:";
      for (size_t i = 1; i < words.size(); ++i) out << " " << words[i];
      out << "\n";
    }
    std::vector<std::string> summary;
    std::istringstream text(entry->summary);
    for (std::string w; text >> w;) summary.push_back(w);
    printWrapped(out, "  ", summary);
    out << "  Example:\n"
        << "    Dovex > " << entry->example << "\n";
    std::istringstream printed(entry->printed);
    for (std::string line; std::getline(printed, line);) out << (line.empty() ? "" : "    ") << line << "\n";
    return true;
  }
  for (const auto& extension : interp.extensions) {
    if (extension && extension->commandName() == word) {
      extension->printHelp();
      return true;
    }
  }
  return false;
}
