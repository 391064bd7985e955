// The thrown message of the language: unwinds evaluations up to the nearest
// handler (an `if` branch, an element accessor, or the shell, which prints
// "Error: " and the message).
#pragma once

#include <stdexcept>
#include <string>

class ScriptError : public std::runtime_error {
 public:
  // [message] is printed verbatim by the handler that catches it.
  explicit ScriptError(const std::string& message) : std::runtime_error(message) {}

  // A getter's error about a value of the wrong type: the value's payload
  // (its identity, never read through), what it held ("the integer 1") and
  // what was expected ("a double").
  struct Mismatch {
    const void* payload = nullptr;
    std::string held;
    std::string expected;
  };
  ScriptError(const std::string& message, Mismatch mismatch)
      : std::runtime_error(message), mismatch_(std::move(mismatch)), isMismatch_(true) {}
  bool isMismatch() const { return isMismatch_; }
  const Mismatch& mismatch() const { return mismatch_; }

  // Where the error was thrown and what it means there, as notes for
  // standard error ("prog.dvx:3:5: in sin 1\n" and the callers); written by
  // the innermost evaluation the error leaves, empty until then.
  const std::string& note() const { return note_; }
  bool hasNote() const { return !note_.empty(); }
  void setNote(std::string note) { note_ = std::move(note); }
  // The line that names the statement of a script the error stops, for the
  // handler that ends the script with it (empty outside a script).
  const std::string& stopped() const { return stopped_; }
  void setStopped(std::string line) { stopped_ = std::move(line); }

 private:
  Mismatch mismatch_;
  bool isMismatch_ = false;
  std::string note_;
  std::string stopped_;
};
