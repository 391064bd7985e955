// Entry point: seeds the generator, creates the interpreter and runs the
// prompt loop on a stack deep enough for the nesting limit.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <iostream>
#include <memory>
#include <utility>

#include "extensions/extension.h"
#include "interp/interpreter.h"
#include "interp/stream_console.h"
#include "shell/shell.h"
#include "shell/terminal.h"
#include "value/matrix.h"

int main() {
  std::ios::sync_with_stdio(false);
  keepLargeArraysOnHeap();
  std::srand(static_cast<unsigned>(static_cast<uint64_t>(std::time(nullptr)) & 0xffffffffu));
  // Line editing, history and Ctrl-C handling only at a terminal; piped
  // input is read as it comes and never counts as a key press.
  std::unique_ptr<ConsoleInput> input;
  TerminalConsole* terminal = nullptr;
  if (isatty(STDIN_FILENO)) {
    auto console = std::make_unique<TerminalConsole>(defaultHistoryPath());
    terminal = console.get();
    input = std::move(console);
  } else {
    input = std::make_unique<StreamConsole>(std::cin, std::cout);
  }
  Interpreter interp(input.get());
  registerExtensions(interp);
  if (terminal) terminal->completeAlso(extensionNames(interp));
  runWithLargeStack([&] { runPromptLoop(interp, *input); });
  std::cout.flush();
  return 0;
}
