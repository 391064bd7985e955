// Prints the fuzzing dictionary: every spelling of the keyword rows and the
// extension commands, then the other words and punctuation the language
// gives meaning to. The build writes it to dovex.dict beside the targets.
#include <iostream>
#include <string>

#include "builtins/language.h"
#include "extensions/extension.h"

namespace {

// One dictionary entry: the word in double quotes, with the characters a
// dictionary line cannot hold as they are written in hex.
void entry(const std::string& word) {
  std::cout << '"';
  for (const char c : word) {
    if (c == '"' || c == '\\' || c < 0x20) {
      static const char kHex[] = "0123456789abcdef";
      std::cout << "\\x" << kHex[(c >> 4) & 0xf] << kHex[c & 0xf];
    } else {
      std::cout << c;
    }
  }
  std::cout << "\"\n";
}

}  // namespace

int main() {
  std::cout << "# Generated from the keyword rows by make_dict: keywords, extension commands,\n"
               "# fill words, kind words, derived names, shell commands and punctuation.\n";
  for (const std::string& word : languageKeywords().spellings()) entry(word);
  for (const KeywordRow& row : extensionCommands()) entry(row.name);
  for (const char* word : {"ident", "zero", "UFT", "QFT", "u_random", "cnot", "space", "system", "array", "integer",
                           "double", "complex", "matrix", "string", "temp", ".ket.", ".bra.", ".size", "!state",
                           "!clear", "!exit", "!help", "exit", "(", ")", "\"", ",", "\t"}) {
    entry(word);
  }
  return 0;
}
