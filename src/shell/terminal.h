// The console at a real terminal: line editing with history and keyword
// completion, Ctrl-C that never costs a session, and a key test that sees
// single keys while a line runs.
#pragma once

#include <ctime>
#include <string>
#include <vector>

#include "interp/console_io.h"
#include "shell/history_file.h"

class TerminalConsole : public ConsoleInput {
 public:
  // Takes over standard input (a terminal): loads the history from
  // [historyPath] (empty: no history file) and installs the Ctrl-C handler.
  // Without [lineEditing] (the output is not the terminal) lines are read
  // plainly, so no editing codes reach the output, and no history is kept.
  TerminalConsole(std::string historyPath, bool lineEditing);
  ~TerminalConsole() override;
  TerminalConsole(const TerminalConsole&) = delete;
  TerminalConsole& operator=(const TerminalConsole&) = delete;

  // A line that leaves a "(" open continues: further lines are read after a
  // continuation prompt and joined as a script's lines are, until the
  // brackets balance (an empty line or Ctrl-C abandons it); the whole is
  // one line, and one entry of the history. Answers to `user.input` are
  // read as they are typed.
  std::optional<std::string> readLine(const std::string& prompt, size_t maxChars) override;
  // True for a waiting key or a pending Ctrl-C break.
  bool keyPressed() override;
  void lineStarted() override;
  void lineFinished() override;
  // Tab completes [words] too (the keywords and extension commands).
  void completeWith(const std::vector<std::string>& words);

 private:
  // One line as typed: its text, or none at end of input or when Ctrl-C
  // abandoned it ([interrupted]).
  struct Typed {
    std::optional<std::string> text;
    bool interrupted = false;
  };
  Typed readTyped(const std::string& prompt);
  Typed readEdited(const std::string& prompt);
  Typed readPlain(const std::string& prompt);
  void remember(const std::string& line);

  HistoryFile history_;
  bool lineEditing_;
  bool running_ = false;
  timespec lastKeyPoll_{};  // coarse-clock time the terminal was last asked for a key
};

// The history file in the user's home directory (found through HOME), or
// empty when there is no home.
std::string defaultHistoryPath();
