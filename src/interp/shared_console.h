// The console of a distributed run: the first process reads each line from
// its own console and hands it to the others, so every process evaluates the
// same lines; a break sent to the first process is shared at fixed points of
// the program (every line read, every so many rounds of a loop).
#pragma once

#include <cstdint>
#include <memory>

#include "interp/console_io.h"

class SharedConsole : public ConsoleInput {
 public:
  // [lead] is read only by the first process.
  explicit SharedConsole(std::unique_ptr<ConsoleInput> lead) : lead_(std::move(lead)) {}
  std::optional<std::string> readLine(const std::string& prompt, size_t maxChars) override;
  // True on every process alike when the first one was sent a break; never
  // a key (the first process reads a pipe).
  bool keyPressed() override;

 private:
  std::unique_ptr<ConsoleInput> lead_;
  uint32_t rounds_ = 0;
};
