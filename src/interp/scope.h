// Variables live in scopes: ordered lists of named values, names not unique.
//
// Every multi-token evaluation sees a snapshot of its caller's variables. A
// snapshot here is a link to the caller's scope plus the newest entry it may
// see, rather than a copy of every entry: entries created after the snapshot
// was taken stay invisible, just as they would be to a copied list, but
// starting an evaluation costs nothing however many variables exist. Entries
// reached through the link are the "inherited" ones: they share their value
// with the variable they come from, and cannot be deleted from the snapshot.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "value/object.h"

class Scope {
 public:
  Scope() = default;
  // A snapshot of [parent] as it is now.
  explicit Scope(const Scope& parent, int);
  Scope(const Scope&) = delete;
  Scope& operator=(const Scope&) = delete;

  // Appends [object] as a variable owned by this scope (after any entry of
  // the same name).
  void addVariable(Object object);
  // Copies the last visible entry named [name] into [result]; with no such
  // entry [result] is left untouched. Returns whether one was found.
  bool findVariable(const std::string& name, Object& result) const;
  // Assigns [value] to every visible entry named [name] (assignObject rules).
  void assignVariable(const std::string& name, const Object& value);
  // The same, moving an unshared "temp" [value] into the first entry that
  // takes it instead of copying; later entries get copies of that entry.
  void assignVariable(const std::string& name, Object&& value);
  // Removes the first visible entry named [name]; throws "Cannot delete
  // variable" when that entry is inherited. Nothing happens without a match.
  void deleteVariable(const std::string& name);
  // Removes every entry this scope owns.
  void clear() { entries_.clear(); }

  // The entries this scope owns, in order of insertion.
  struct Entry {
    Object object;
    uint64_t serial;
  };
  const std::vector<Entry>& ownEntries() const { return entries_; }

 private:
  // Visits visible entries from newest to oldest until [visit] returns true.
  template <typename Visit>
  bool visitNewestFirst(Visit&& visit) const;

  const Scope* parent_ = nullptr;
  uint64_t parentLimit_ = 0;  // newest serial of the parent visible here
  std::vector<Entry> entries_;
};

class Interpreter;
class TokenList;
struct Object;

// A command object that adds a keyword to the language. The registry starts
// empty; built-in keywords are always matched first.
class CommandExtension {
 public:
  virtual ~CommandExtension() = default;
  // Runs the keyword on the expression [tokens] with the evaluation's scope
  // [localScope] and the caller's [result].
  virtual void execute(const TokenList& tokens, Scope& localScope, Object& result, bool toGlobal, bool ownScope,
                       Interpreter& interpreter) = 0;
  // Prints the extension's help text.
  virtual void printHelp() = 0;
  // The keyword this extension answers to.
  virtual std::string commandName() = 0;
};
