#include "extensions/extension.h"

#include <utility>

#include "value/console.h"

KeywordExtension::KeywordExtension(std::string name, std::string help, BuiltinFn fn)
    : name_(std::move(name)), help_(std::move(help)), fn_(fn) {}

void KeywordExtension::execute(const TokenList& tokens, Scope& localScope, Object& result, bool toGlobal,
                               bool ownScope, Interpreter& interpreter) {
  // Extension commands read their arguments and write only the result; the
  // evaluation's own scope stands in for the caller's.
  Scope& target = toGlobal ? interpreter.globals : localScope;
  Call call{interpreter, tokens, tokens.text(), localScope, localScope, target, result, toGlobal, ownScope};
  fn_(call);
}

void KeywordExtension::printHelp() { console() << help_; }
