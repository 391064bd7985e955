#include "runtime/console.h"

#include <iostream>

namespace {
std::ostream* current = nullptr;
}

std::ostream& console() { return current ? *current : std::cout; }

std::ostream* setConsole(std::ostream* stream) {
  std::ostream* previous = current;
  current = stream;
  return previous;
}
