// One keyword of the language, or one extension command, as a row of a
// table: the function that runs it and everything help, completion and
// diagnostics need to know about it. Each file of keywords ends with its own
// table of rows, next to the functions they name.
#pragma once

#include <cstdint>
#include <span>

struct Call;

// The shape of every keyword and extension command: handed the evaluation,
// it reads its arguments and writes the caller's result.
using KeywordFn = void (*)(Call&);

// How many arguments a keyword reads and what they should hold. [kinds] has
// one letter per argument, the last repeating for the arguments after it:
//   i integer   d double   c complex   m matrix   v vector   y system
//   s string    n a variable's name (a string)   p a path, taken as written
//   x a value of any type   e an expression evaluated only when chosen
//   t a statement (evaluated by the statement rule)   - not evaluated at all
struct KeywordArgs {
  uint8_t min = 0;  // fewer are read as empty tokens
  uint8_t max = 0;  // arguments past it are never evaluated (kAnyCount: none are ignored)
  const char* kinds = "";
};
inline constexpr uint8_t kAnyCount = 255;

struct KeywordRow {
  const char* name;          // the main spelling
  const char* aliases;       // other spellings, space-separated ("" for none)
  KeywordFn run;             // the keyword itself
  KeywordArgs args;          // what it reads
  const char* group;         // the group `!help` lists it under
  const char* usage;         // the keyword with its arguments: "add A B"
  const char* summary;       // what the arguments are and what it gives
  const char* example;       // one line to type
  const char* printed;       // what that line prints first
  const char* help = nullptr;  // extension commands: the text `help NAME` prints
};

// A table of rows, as each file of keywords exposes it.
using KeywordRows = std::span<const KeywordRow>;
