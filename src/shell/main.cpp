// Entry point: seeds the generator, creates the interpreter and runs the
// prompt loop on a stack deep enough for the nesting limit.
#include <poll.h>
#include <unistd.h>

#include <cstdlib>
#include <ctime>
#include <iostream>

#include "interp/interpreter.h"
#include "interp/stream_console.h"
#include "shell/shell.h"

namespace {

// At a terminal a pending key breaks `while`; piped input never does.
class StdinConsole : public StreamConsole {
 public:
  StdinConsole() : StreamConsole(std::cin, std::cout), tty_(isatty(STDIN_FILENO) != 0) {}
  bool keyPressed() override {
    if (!tty_) return false;
    pollfd fd{STDIN_FILENO, POLLIN, 0};
    return poll(&fd, 1, 0) > 0 && (fd.revents & POLLIN) != 0;
  }

 private:
  bool tty_;
};

}  // namespace

int main() {
  std::ios::sync_with_stdio(false);
  std::srand(static_cast<unsigned>(static_cast<uint64_t>(std::time(nullptr)) & 0xffffffffu));
  StdinConsole input;
  Interpreter interp(&input);
  runWithLargeStack([&] { runPromptLoop(interp, input); });
  std::cout.flush();
  return 0;
}
