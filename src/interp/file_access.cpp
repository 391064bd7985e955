#include "interp/file_access.h"

#include <filesystem>
#include <system_error>

#include "value/diagnostics.h"

namespace {

// Whether [path] lies in the directory [root] (or is it), both resolved
// through the symbolic links that exist now.
bool resolvesInside(const std::string& root, const std::string& path) {
  namespace fs = std::filesystem;
  std::error_code ec;
  const fs::path base = fs::weakly_canonical(fs::absolute(root, ec), ec);
  if (ec) return false;
  const fs::path target = fs::weakly_canonical(fs::absolute(path, ec), ec);
  if (ec) return false;
  std::string prefix = base.string();
  while (!prefix.empty() && prefix.back() == '/') prefix.pop_back();
  const std::string full = target.string();
  return full == prefix || full.compare(0, prefix.size() + 1, prefix + "/") == 0;
}

}  // namespace

bool mayOpenPath(const Interpreter& interp, const std::string& path) {
  if (path.find('\0') != std::string::npos) return false;
  return interp.fileRoot.empty() || resolvesInside(interp.fileRoot, path);
}

void reportCannotOpen(const std::string& path) { diagnostic() << "Cannot open file '" << path << "'\n"; }
