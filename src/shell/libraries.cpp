#include "shell/libraries.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <utility>

#include "interp/script_file.h"
#include "runtime/process_group.h"

namespace {

namespace fs = std::filesystem;

// The installed library folder: where `cmake --install` puts lib/, found
// from the running binary (bin/ beside share/ under the prefix), so an
// installed tree may be moved whole; the prefix it was built for when the
// binary cannot be located.
std::string installedLibraryFolder() {
  std::error_code ec;
  const fs::path binary = fs::read_symlink("/proc/self/exe", ec);
  if (ec || binary.empty()) return DOVEX_INSTALLED_LIBRARY_DIR;
  return (binary.parent_path() / DOVEX_LIBRARY_DIR_FROM_BINARY).lexically_normal().string();
}

// The identity of a regular file (device and inode), or nothing for a path
// that is not one.
std::optional<std::pair<dev_t, ino_t>> regularFile(const std::string& path) {
  struct stat info {};
  if (stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
  return std::pair{info.st_dev, info.st_ino};
}

}  // namespace

std::vector<std::string> librarySearchPath(const std::string& scriptFolder) {
  std::vector<std::string> path = {"."};
  if (!scriptFolder.empty()) path.push_back(scriptFolder);
  if (const char* list = std::getenv("DOVEX_PATH")) {
    const std::string folders = list;
    for (size_t start = 0; start <= folders.size();) {
      size_t end = folders.find(':', start);
      if (end == std::string::npos) end = folders.size();
      if (end > start) path.push_back(folders.substr(start, end - start));
      start = end + 1;
    }
  }
  path.push_back(DOVEX_SOURCE_LIBRARY_DIR);
  path.push_back(installedLibraryFolder());
  return path;
}

std::string findLibrary(const std::string& name, const std::vector<std::string>& path) {
  if (name.empty()) return {};
  for (const std::string& folder : path) {
    for (const std::string& candidate : {name, name + ".txt"}) {
      const std::string file = (fs::path(folder) / candidate).string();
      if (regularFile(file)) return file;
    }
  }
  return {};
}

bool readLibraries(const std::vector<std::string>& names, const std::string& scriptFolder,
                   std::vector<Library>& libraries, std::string& error) {
  const std::vector<std::string> path = librarySearchPath(scriptFolder);
  std::vector<std::pair<dev_t, ino_t>> seen;
  for (const std::string& name : names) {
    // Found by the first process of a distributed run, for all of them: the
    // others read what it read.
    std::string file;
    bool repeated = false;
    if (leadsInputOutput()) {
      file = findLibrary(name, path);
      const auto identity = file.empty() ? std::nullopt : regularFile(file);
      if (!identity) file.clear();
      repeated = identity && std::find(seen.begin(), seen.end(), *identity) != seen.end();
      if (identity && !repeated) seen.push_back(*identity);
    }
    shareFromLead(file);
    if (file.empty()) {
      error = "cannot find the library '" + name + "' (nor " + name + ".txt) in:";
      for (const std::string& folder : path) error += " " + folder;
      return false;
    }
    if (agreedFromLead(repeated)) continue;
    Library library{file, {}, {}};
    library.source.name = file;
    const ScriptRead outcome = readScriptFile(file, library.script, FirstLine::Kept, &library.source);
    if (outcome != ScriptRead::Done) {
      error = "cannot read the library '" + file + "'" + (outcome == ScriptRead::TooLarge ? ": too large" : "");
      return false;
    }
    libraries.push_back(std::move(library));
  }
  return true;
}
