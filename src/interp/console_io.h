// The console the interpreter talks to: where input lines come from and how
// the key test of `while` is answered. The shell supplies a terminal or a
// stream; tests and fuzz targets supply their own.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

class ConsoleInput {
 public:
  virtual ~ConsoleInput() = default;
  // Shows [prompt] and reads one line without its line break. At most
  // [maxChars] + 1 characters are returned: a longer line comes back cut
  // there, its rest consumed and discarded. nullopt at end of input.
  virtual std::optional<std::string> readLine(const std::string& prompt, size_t maxChars) = 0;
  // Whether a key press is waiting, without waiting and without consuming it.
  virtual bool keyPressed() = 0;
  // Whether input is known to be ready, so that reading the next line will
  // not wait (a prompt that waits is the session's moment to give memory
  // back). True unless the console can tell.
  virtual bool inputReady() { return true; }
  // Bracket the evaluation of one input line (a terminal delivers single
  // keys meanwhile, so the key test of `while` can see them).
  virtual void lineStarted() {}
  virtual void lineFinished() {}
};
