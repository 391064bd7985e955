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
};
