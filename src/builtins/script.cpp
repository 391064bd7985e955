// Script files and extension help.
#include "builtins/keyword_tables.h"
#include "interp/call.h"
#include "interp/script_file.h"
#include "runtime/file_access.h"

static void builtinFile(Call& call) {
  // The path is taken as written, never evaluated: a bare word, or a path
  // with spaces in quotes or brackets.
  const std::string path = call.token(1);
  std::string script;
  SourceText source;
  source.name = path;
  const ScriptRead outcome =
      call.interp.files.mayOpen(path) ? readScriptFile(path, script, FirstLine::Kept, &source) : ScriptRead::CannotOpen;
  if (outcome == ScriptRead::CannotOpen) {
    reportCannotOpen(path);
    return;
  }
  if (outcome == ScriptRead::TooLarge) {
    call.syntaxError("; script too large");
    return;
  }
  // The whole file is one statement of this evaluation: the variables it
  // creates without `global` end with the script.
  call.interp.evaluateLine(std::move(script), call.localScope, call.result, call.statementTarget(), &source);
}

static void builtinHelp(Call& call) {
  const Arg name = call.argument(1);
  if (const KeywordRow* command = call.interp.findExtension(name->getString())) call.out() << command->help;
}

// Script files and extension help, one row each.
constexpr KeywordRow kRows[] = {
    {.name = "file", .aliases = "", .run = builtinFile, .args = {1, 1, "p"},
     .group = "console and files", .usage = "file PATH",
     .summary = "Runs the script file PATH (not evaluated) as one expression: line breaks become spaces. Gives the script's value.",
     .example = "file examples/bell.txt",
     .printed = "matrix psi = \n0.707107 + 0i\t\n0 + 0i\t\n0 + 0i\t\n0.707107 + 0i\t\n"},
    {.name = "help", .aliases = "", .run = builtinHelp, .args = {1, 1, "s"},
     .group = "console and files", .usage = "help NAME",
     .summary = "Prints the help text of the extension command NAME (a string). Gives no value.",
     .example = "help matrix",
     .printed = "NULL\n"},
};

KeywordRows scriptKeywords() { return kRows; }
