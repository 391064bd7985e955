// The file that keeps the lines typed at a terminal from one session to the
// next. It is never followed through a symbolic link and never replaced by
// anything but its own last lines: a history file that cannot be used costs
// the history, never the session or another file.
#pragma once

#include <string>
#include <vector>

class HistoryFile {
 public:
  // How many lines are kept from one session to the next.
  static constexpr size_t kKeptLines = 1000;

  // The history file at [path]; an empty path keeps no file.
  explicit HistoryFile(std::string path) : path_(std::move(path)), usable_(!path_.empty()) {}

  // The lines of earlier sessions, oldest first, at most kKeptLines. A file
  // holding more is rewritten with its last kKeptLines lines. A path that is
  // a symbolic link or anything but a regular file is left alone and gives
  // up the file for this session.
  std::vector<std::string> load();
  // Appends [line]; a failure gives up the file for the rest of the session.
  void append(const std::string& line);

 private:
  void shorten(const std::vector<std::string>& lines);

  std::string path_;
  bool usable_;
};
