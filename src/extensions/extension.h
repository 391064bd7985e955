// Extension commands: keywords added to the language through the registry
// of the interpreter. Built-ins are always matched first, so an extension
// only ever gives meaning to a line that no built-in knows.
#pragma once

#include <string>
#include <vector>

#include "interp/builtin.h"

// An extension command written like a built-in: a function handed the same
// Call, with the same argument helpers and diagnostics.
class KeywordExtension : public CommandExtension {
 public:
  // Answers to [name], runs [fn], and prints [help] for `help NAME`.
  KeywordExtension(std::string name, std::string help, BuiltinFn fn);

  void execute(const TokenList& tokens, Scope& localScope, Object& result, bool toGlobal, bool ownScope,
               Interpreter& interpreter) override;
  void printHelp() override;
  std::string commandName() override { return name_; }
  // The help text printed by printHelp.
  const std::string& helpText() const { return help_; }

 private:
  std::string name_;
  std::string help_;
  BuiltinFn fn_;
};

// Adds every extension command of the system to [interp]'s registry, in a
// fixed order. Called once at start-up.
void registerExtensions(Interpreter& interp);

// The names of the registered extension commands of [interp], in order.
std::vector<std::string> extensionNames(const Interpreter& interp);
