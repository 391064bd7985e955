// Script files and extension help.
#include "builtins/core_keywords.h"
#include "interp/file_access.h"
#include "interp/script_file.h"
#include "interp/tokenizer.h"

void builtinFile(Call& call) {
  // The path is taken as written, never evaluated: a bare word, or a path
  // with spaces in quotes or brackets.
  const std::string path = call.token(1);
  std::string script;
  const ScriptRead outcome = mayOpenPath(call.interp, path) ? readScriptFile(path, script) : ScriptRead::CannotOpen;
  if (outcome == ScriptRead::CannotOpen) {
    reportCannotOpen(path);
    return;
  }
  if (outcome == ScriptRead::TooLarge) {
    call.syntaxError("; script too large");
    return;
  }
  normalizeSpacing(script);
  // The whole file is one statement of this evaluation: the variables it
  // creates without `global` end with the script.
  call.interp.evaluate(script, call.localScope, call.result, call.toGlobal, false);
}

void builtinHelp(Call& call) {
  const std::string name = call.arg(1).getString();
  for (const auto& extension : call.interp.extensions) {
    if (extension && extension->commandName() == name) {
      extension->printHelp();
      return;
    }
  }
}
