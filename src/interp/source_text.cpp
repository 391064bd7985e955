#include "interp/source_text.h"

#include <algorithm>

SourceText SourceText::ofLine(std::string name, const std::string& text, uint32_t lineNumber) {
  SourceText source;
  source.name = std::move(name);
  source.line.assign(text.size() + 1, lineNumber);
  source.column.resize(text.size() + 1);
  for (size_t i = 0; i <= text.size(); ++i) source.column[i] = static_cast<uint32_t>(i + 1);
  return source;
}

SourceText SourceText::tidied(const std::vector<uint32_t>& origin) const {
  SourceText out;
  out.name = name;
  out.line.reserve(origin.size());
  out.column.reserve(origin.size());
  for (const uint32_t from : origin) {
    const size_t at = std::min<size_t>(from, line.empty() ? 0 : line.size() - 1);
    if (line.empty()) {
      out.add(1, from + 1);
    } else {
      out.add(line[at], column[at]);
    }
  }
  return out;
}

std::string SourceText::place(size_t at) const {
  if (line.empty()) return name.empty() ? "column 1" : name + ":1:1";
  at = std::min(at, line.size() - 1);
  const std::string l = std::to_string(line[at]);
  const std::string c = std::to_string(column[at]);
  if (!name.empty()) return name + ":" + l + ":" + c;
  return line[at] == 1 ? "column " + c : "line " + l + ", column " + c;
}
