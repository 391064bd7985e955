// A console over plain streams: piped input, script tests, fuzzing.
#pragma once

#include <istream>
#include <ostream>

#include "interp/console_io.h"

class StreamConsole : public ConsoleInput {
 public:
  // Reads lines from [in]; prompts go to [out], which is flushed before
  // every read so a prompt is visible while the program waits.
  StreamConsole(std::istream& in, std::ostream& out) : in_(in), out_(out) {}

  std::optional<std::string> readLine(const std::string& prompt, size_t maxChars) override;
  // Piped input is not a key press: always false.
  bool keyPressed() override { return false; }
  // Whether the stream holds or knows of unread input (or has ended).
  bool inputReady() override;

 private:
  std::istream& in_;
  std::ostream& out_;
};
