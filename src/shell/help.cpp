#include "shell/help.h"

#include <algorithm>
#include <sstream>
#include <vector>

#include "builtins/language.h"

namespace {

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

void printHelpIndex(const Interpreter& interp, std::ostream& out) {
  out << "Keywords by group (!help WORD describes one):\n";
  size_t labelWidth = 0;
  for (const char* group : keywordGroups()) labelWidth = std::max(labelWidth, std::string(group).size());
  for (const char* group : keywordGroups()) {
    std::vector<std::string> words;
    for (const KeywordRow* row : interp.keywords().rows()) {
      if (std::string(row->group) != group) continue;
      for (const std::string& spelling : spellingsOf(*row)) words.push_back(spelling);
    }
    std::string label = "  " + std::string(group) + ":";
    label.resize(labelWidth + 5, ' ');
    printWrapped(out, label, words);
  }
  std::vector<std::string> commands;
  for (const KeywordRow* row : interp.extensions()) commands.push_back(row->name);
  if (commands.empty()) commands.push_back("(none)");
  printWrapped(out, "Extension commands: ", commands);
}

bool printHelpFor(const Interpreter& interp, const std::string& word, std::ostream& out) {
  // Built-ins are matched before extension commands, here as on a line.
  if (const KeywordRow* row = interp.keywords().find(word)) {
    out << row->usage << "\n";
    const std::vector<std::string> words = spellingsOf(*row);
    if (words.size() > 1) {
      out << "  also written:";
      for (size_t i = 1; i < words.size(); ++i) out << " " << words[i];
      out << "\n";
    }
    std::vector<std::string> summary;
    std::istringstream text(row->summary);
    for (std::string w; text >> w;) summary.push_back(w);
    printWrapped(out, "  ", summary);
    out << "  Example:\n"
        << "    Dovex > " << row->example << "\n";
    std::istringstream printed(row->printed);
    for (std::string line; std::getline(printed, line);) out << (line.empty() ? "" : "    ") << line << "\n";
    return true;
  }
  if (const KeywordRow* row = interp.findExtension(word)) {
    out << row->help;
    return true;
  }
  return false;
}

std::vector<std::string> completionWords(const Interpreter& interp) {
  std::vector<std::string> words = interp.keywords().spellings();
  for (const KeywordRow* row : interp.extensions()) words.push_back(row->name);
  return words;
}
