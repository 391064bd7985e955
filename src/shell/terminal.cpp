#include "shell/terminal.h"

#include <poll.h>
#include <signal.h>
#include <sys/select.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <vector>

#include "interp/line_continuation.h"
#include "runtime/break_flag.h"

#ifdef DOVEX_HAVE_READLINE
#include <readline/history.h>
#include <readline/readline.h>
#endif

namespace {

// State shared with the SIGINT handler.
volatile sig_atomic_t atPrompt = 0;     // a line is being typed
volatile sig_atomic_t interrupted = 0;  // Ctrl-C while typing

// When the pending break was asked for (monotonic milliseconds), valid while
// breakRequested() holds. Written only by the handler; lock-free, so safe
// there.
std::atomic<int64_t> breakAskedAt{0};
static_assert(std::atomic<int64_t>::is_always_lock_free);

// How long a line may take to stop after Ctrl-C before a second Ctrl-C ends
// the program.
constexpr int64_t kGraceMilliseconds = 3000;

// The prompt of a line that continues the one before; as wide as the main
// prompt, so indented lines line up.
constexpr const char* kContinuationPrompt = "    ... ";

termios cookedMode;
bool haveCookedMode = false;

int64_t monotonicMilliseconds() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);  // async-signal-safe
  return int64_t{now.tv_sec} * 1000 + now.tv_nsec / 1000000;
}

// Ctrl-C while a line runs asks it to stop: the loops, built-ins and kernels
// poll the break flag. Only when the line has not stopped within the grace
// period does another Ctrl-C end the program, as a last resort.
void onInterrupt(int) {
  if (atPrompt) {
    interrupted = 1;
    return;
  }
  const int64_t now = monotonicMilliseconds();
  if (!breakRequested()) {
    breakAskedAt.store(now, std::memory_order_relaxed);
    requestBreak();
    return;
  }
  if (now - breakAskedAt.load(std::memory_order_relaxed) < kGraceMilliseconds) return;
  if (haveCookedMode) tcsetattr(STDIN_FILENO, TCSANOW, &cookedMode);
  static const char message[] = "\nInterrupted.\n";
  [[maybe_unused]] ssize_t n = write(STDOUT_FILENO, message, sizeof message - 1);
  _exit(130);
}

// From here on Ctrl-C abandons the typed line. A [fresh] prompt (not an
// answer to `user.input`) forgets a pending break, only now, so no late
// Ctrl-C of the finished line can slip in and break the next one.
void enterPrompt(bool fresh) {
  interrupted = 0;
  atPrompt = 1;
  if (fresh) clearBreak();
}

void setKeyMode(bool singleKeys) {
  if (!haveCookedMode) return;
  termios mode = cookedMode;
  if (singleKeys) {
    // Keys arrive one by one and unechoed, so a key press can break a loop;
    // ISIG stays on, so Ctrl-C still raises SIGINT.
    mode.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
    mode.c_cc[VMIN] = 1;
    mode.c_cc[VTIME] = 0;
  }
  tcsetattr(STDIN_FILENO, TCSANOW, &mode);
}

#ifdef DOVEX_HAVE_READLINE
std::optional<std::string> completedLine;
bool lineDone = false;

void acceptLine(char* line) {
  lineDone = true;
  if (line) {
    completedLine = std::string(line);
    std::free(line);
  } else {
    completedLine.reset();
  }
  rl_callback_handler_remove();
}

// The words Tab completes: the keywords and extension commands.
std::vector<std::string> completedWords;

char* keywordGenerator(const char* text, int state) {
  static size_t next = 0;
  if (state == 0) next = 0;
  const size_t length = std::strlen(text);
  while (next < completedWords.size()) {
    const std::string& word = completedWords[next++];
    if (word.compare(0, length, text, length) == 0 && word.size() >= length) return strdup(word.c_str());
  }
  return nullptr;
}

char** completeKeyword(const char* text, int, int) {
  rl_attempted_completion_over = 1;  // keywords only, never file names
  return rl_completion_matches(text, keywordGenerator);
}
#endif

}  // namespace

void TerminalConsole::completeWith(const std::vector<std::string>& words) {
#ifdef DOVEX_HAVE_READLINE
  completedWords.insert(completedWords.end(), words.begin(), words.end());
#else
  (void)words;
#endif
}

std::string defaultHistoryPath() {
  const char* home = std::getenv("HOME");
  if (!home || !*home) return {};
  return std::string(home) + "/.dovex_history";
}

TerminalConsole::TerminalConsole(std::string historyPath, bool lineEditing)
    : history_(lineEditing ? std::move(historyPath) : std::string()), lineEditing_(lineEditing) {
  haveCookedMode = tcgetattr(STDIN_FILENO, &cookedMode) == 0;
  struct sigaction action {};
  action.sa_handler = onInterrupt;
  sigemptyset(&action.sa_mask);
  action.sa_flags = 0;  // no SA_RESTART: a read waiting at the prompt must wake up
  sigaction(SIGINT, &action, nullptr);
#ifdef DOVEX_HAVE_READLINE
  if (!lineEditing_) return;
  rl_catch_signals = 0;
  rl_catch_sigwinch = 1;
  rl_readline_name = "dovex";
  rl_attempted_completion_function = completeKeyword;
  rl_basic_word_break_characters = const_cast<char*>(" \t\n(),\"");
  // Pasted text arrives as typed keys, so every pasted line runs in turn.
  rl_variable_bind("enable-bracketed-paste", "off");
  using_history();
  for (const std::string& line : history_.load()) add_history(line.c_str());
#endif
}

TerminalConsole::~TerminalConsole() {
  if (haveCookedMode) tcsetattr(STDIN_FILENO, TCSANOW, &cookedMode);
  signal(SIGINT, SIG_DFL);
}

void TerminalConsole::remember(const std::string& line) {
#ifdef DOVEX_HAVE_READLINE
  if (!lineEditing_ || line.empty()) return;
  add_history(line.c_str());
  // Appending line by line keeps the history even when the session is killed.
  history_.append(line);
#else
  (void)line;
#endif
}

std::optional<std::string> TerminalConsole::readLine(const std::string& prompt, size_t maxChars) {
  std::cout.flush();
  std::optional<std::string> line;
  if (running_) {
    // `user.input` reads while a line runs: a plain answer, typed afresh
    // after Ctrl-C.
    setKeyMode(false);
    Typed answer;
    do {
      answer = readTyped(prompt);
    } while (answer.interrupted);
    setKeyMode(true);
    line = std::move(answer.text);
  } else {
    for (;;) {
      Typed first = readTyped(prompt);
      if (first.interrupted) continue;  // Ctrl-C: a fresh prompt
      if (!first.text) return std::nullopt;
      std::string joined = std::move(*first.text);
      const bool command = !joined.empty() && joined[0] == '!';
      bool abandoned = false;
      while (!command && continuesOnNextLine(joined)) {
        Typed next = readTyped(kContinuationPrompt);
        if (!next.text && !next.interrupted) return std::nullopt;
        if (next.interrupted || next.text->empty()) {
          abandoned = true;
          break;
        }
        appendContinuationLine(joined, *next.text);
      }
      if (abandoned) continue;
      remember(joined);
      line = std::move(joined);
      break;
    }
  }
  if (line && line->size() > maxChars + 1) line->resize(maxChars + 1);
  return line;
}

TerminalConsole::Typed TerminalConsole::readTyped(const std::string& prompt) {
#ifdef DOVEX_HAVE_READLINE
  if (lineEditing_) return readEdited(prompt);
#endif
  return readPlain(prompt);
}

#ifdef DOVEX_HAVE_READLINE
TerminalConsole::Typed TerminalConsole::readEdited(const std::string& prompt) {
  lineDone = false;
  completedLine.reset();
  enterPrompt(!running_);
  rl_callback_handler_install(prompt.c_str(), acceptLine);
  Typed typed;
  while (!lineDone) {
    fd_set ready;
    FD_ZERO(&ready);
    FD_SET(STDIN_FILENO, &ready);
    const int n = select(STDIN_FILENO + 1, &ready, nullptr, nullptr, nullptr);
    if (n < 0 && errno != EINTR) break;
    if (interrupted) {
      // Ctrl-C abandons the half-typed line; the caller shows a fresh prompt.
      interrupted = 0;
      rl_crlf();
      rl_free_line_state();
      rl_callback_sigcleanup();
      rl_replace_line("", 0);
      typed.interrupted = true;
      break;
    }
    if (n > 0) rl_callback_read_char();
  }
  if (!lineDone) rl_callback_handler_remove();
  atPrompt = 0;
  if (!typed.interrupted) typed.text = completedLine;
  return typed;
}
#endif

TerminalConsole::Typed TerminalConsole::readPlain(const std::string& prompt) {
  std::cout << prompt;
  std::cout.flush();
  std::string line;
  enterPrompt(!running_);
  Typed typed;
  bool any = false;
  for (;;) {
    char c;
    const ssize_t n = read(STDIN_FILENO, &c, 1);
    if (n < 0 && errno == EINTR) {
      if (interrupted) {
        interrupted = 0;
        std::cout << "\n";
        typed.interrupted = true;
        break;
      }
      continue;
    }
    if (n <= 0) break;
    any = true;
    if (c == '\n') break;
    line += c;
  }
  atPrompt = 0;
  if (any && !typed.interrupted) typed.text = std::move(line);
  return typed;
}

bool TerminalConsole::keyPressed() {
  if (breakRequested()) return true;
  // A loop tests for a key on every round; asking the terminal costs a
  // system call, so it is asked once per tick of the coarse clock (a few
  // milliseconds at most, far below what a person notices).
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC_COARSE, &now);
  if (now.tv_sec == lastKeyPoll_.tv_sec && now.tv_nsec == lastKeyPoll_.tv_nsec) return false;
  lastKeyPoll_ = now;
  pollfd fd{STDIN_FILENO, POLLIN, 0};
  return poll(&fd, 1, 0) > 0 && (fd.revents & POLLIN) != 0;
}

void TerminalConsole::lineStarted() {
  lastKeyPoll_ = timespec{};  // the first test of a line always asks
  running_ = true;
  setKeyMode(true);
}

void TerminalConsole::lineFinished() {
  running_ = false;
  setKeyMode(false);
}
