// Whole-transcript testing: feed lines to a fresh interpreter exactly as the
// shell reads them and compare everything it prints.
#pragma once

#include <functional>
#include <string>
#include <vector>

// The prompt, for building expected transcripts: P + echo + P + echo ...
inline const std::string P = "Dovex > ";
// The echo of a line that leaves the result without a value.
inline const std::string NUL = "NULL\n\n";

// Runs [lines] through the prompt loop (end of input after the last one)
// and returns what was printed after the banner, without the final prompt.
// The generator is seeded with [seed] first so draws repeat.
std::string transcript(const std::vector<std::string>& lines, unsigned seed = 1);
// The same with the system's extension commands registered, as at start-up.
std::string transcriptWithExtensions(const std::vector<std::string>& lines, unsigned seed = 1);

// The same with the extension commands, run on a thread of only
// [stackBytes] of stack, as when no larger one can be had.
std::string transcriptOnSmallStack(const std::vector<std::string>& lines, size_t stackBytes);

// Expected text for consecutive lines: each echo after its own prompt.
std::string tx(const std::vector<std::string>& echoes);

// A script of one `begin` holding [inside] nested [depth] times in
// [before] … [after], e.g. "(if 1 " … " 0)".
std::string nestedScript(const std::string& before, const std::string& after, int depth, const std::string& inside);

// The message [f] throws as a thrown message of the language, or "<nothing>".
std::string thrownMessage(const std::function<void()>& f);

// A temporary working directory for the life of the object; the process
// works inside it (files written by scripts land there) and returns after.
class ScratchDir {
 public:
  ScratchDir();
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  const std::string& path() const { return path_; }
  // Writes [content] to the file [name] inside the directory.
  void write(const std::string& name, const std::string& content) const;
  // The content of the file [name], or "<missing>".
  std::string read(const std::string& name) const;

 private:
  std::string path_;
  std::string previous_;
};
