// Variables live in scopes: ordered lists of named values, names not unique.
//
// Every multi-token evaluation sees a snapshot of its caller's variables. A
// snapshot here is a link to the caller's scope plus the newest entry it may
// see, rather than a copy of every entry: entries created after the snapshot
// was taken stay invisible, just as they would be to a copied list, but
// starting an evaluation costs nothing however many variables exist, and a
// per-scope index by name makes look-ups independent of that number too. Entries
// reached through the link are the "inherited" ones: they share their value
// with the variable they come from, and cannot be deleted from the snapshot.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "interp/name_index.h"
#include "value/object.h"

class Scope {
 public:
  Scope() = default;
  // A snapshot of [parent] as it is now: its variables and those it sees,
  // shared, and none created after this moment. The snapshot keeps only a
  // link to [parent], which must outlive it; that holds because a snapshot
  // lives exactly as long as the evaluation that took it, inside its
  // caller's, and `delete` only ever removes entries of the scope it is
  // given, never of a scope a snapshot links to while the snapshot sees
  // them (it throws "Cannot delete variable" instead).
  static Scope snapshotOf(const Scope& parent) { return Scope(parent, Snapshot{}); }
  Scope(const Scope&) = delete;
  Scope& operator=(const Scope&) = delete;

  // Appends [object] as a variable owned by this scope (after any entry of
  // the same name).
  void addVariable(Object object);
  // Copies the last visible entry named [name] into [result]; with no such
  // entry [result] is left untouched. Returns whether one was found.
  bool findVariable(const VariableName& name, Object& result) const;
  // What an assignment found: how many visible entries have the name, and
  // the type of the newest (None without one). Entries of another type than
  // the value, and every entry when the value is nothing, are left as they
  // are.
  struct Assignment {
    size_t entries = 0;
    ValueType newestType = ValueType::None;
  };
  // Assigns [value] to every visible entry named [name] (assignObject rules),
  // newest first.
  Assignment assignVariable(const VariableName& name, const Object& value);
  // The same, moving an unshared "temp" [value] into the first entry that
  // takes it instead of copying; later entries get copies of that entry.
  Assignment assignVariable(const VariableName& name, Object&& value);
  // Removes the first visible entry named [name]; throws "Cannot delete
  // variable" when that entry is inherited. Nothing happens without a match;
  // returns whether there was one.
  bool deleteVariable(const VariableName& name);
  // Removes every entry this scope owns.
  void clear() { own_.reset(); }
  // Makes room for [count] more entries (an array about to be declared).
  void reserve(size_t count);

  // One variable: its value and its place in the order of creation.
  struct Entry {
    Object object;
    uint64_t serial;
  };
  // Calls [visit] with each entry this scope owns, in order of insertion.
  template <typename Visit>
  void forEachOwnEntry(Visit&& visit) const {
    if (!own_) return;
    for (const Slot& slot : own_->slots) {
      if (slot.live) visit(slot.entry);
    }
  }

 private:
  struct Snapshot {};
  Scope(const Scope& parent, Snapshot);

  // Entries of one name are chained newest to oldest; the index finds the
  // newest, so a look-up costs the same however many other names exist.
  static constexpr uint32_t kNone = NameIndex::kNone;
  struct Slot {
    Entry entry;
    uint32_t older = kNone;  // the next older live entry of the same name
    bool live = true;
  };
  struct Own {
    std::vector<Slot> slots;  // deleted entries stay as gaps until compacted
    NameIndex newest;  // each name's newest entry
    size_t liveCount = 0;
    // Reads the name of entry [k] back for the index.
    auto nameOf() const {
      return [this](uint32_t k) -> const std::string& { return slots[k].entry.object.name; };
    }
  };
  // Removes the deleted gaps and renumbers the chains.
  void compact();
  bool empty() const { return !own_ || own_->liveCount == 0; }
  // Calls [visit] on every entry named [name] that [from] sees with its own
  // entries up to serial [limit], newest first, until it returns true;
  // returns whether it did.
  template <typename Visit>
  static bool visitNamed(const Scope* from, uint64_t limit, const VariableName& name, Visit&& visit);

  // The nearest enclosing scope with entries at the time of the snapshot:
  // an empty scope has nothing a snapshot could see, now or later.
  const Scope* parent_ = nullptr;
  uint64_t parentLimit_ = 0;  // newest serial of the parent visible here
  std::unique_ptr<Own> own_;  // made with the first entry
};
