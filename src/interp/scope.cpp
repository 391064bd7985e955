#include "interp/scope.h"

#include "value/error.h"

namespace {
// Entries are stamped in creation order across all scopes, so a snapshot
// knows which entries of its parent existed when it was taken.
uint64_t nextSerial = 1;
}  // namespace

Scope::Scope(const Scope& parent, int) : parent_(&parent), parentLimit_(nextSerial - 1) {}

void Scope::addVariable(Object object) { entries_.push_back(Entry{std::move(object), nextSerial++}); }

template <typename Visit>
bool Scope::visitNewestFirst(Visit&& visit) const {
  uint64_t limit = UINT64_MAX;
  for (const Scope* s = this; s; limit = s->parentLimit_, s = s->parent_) {
    for (auto it = s->entries_.rbegin(); it != s->entries_.rend(); ++it) {
      if (it->serial <= limit && visit(it->object)) return true;
    }
  }
  return false;
}

bool Scope::findVariable(const std::string& name, Object& result) const {
  return visitNewestFirst([&](const Object& o) {
    if (o.name != name) return false;
    result = o;
    return true;
  });
}

void Scope::assignVariable(const std::string& name, const Object& value) {
  // Every entry of the name, the inherited ones included: they share their
  // payload with the variable they copy, so the assignment reaches it too.
  visitNewestFirst([&](const Object& o) {
    if (o.name == name) assignObject(const_cast<Object&>(o), value);
    return false;
  });
}

void Scope::assignVariable(const std::string& name, Object&& value) {
  const Object* moved = nullptr;
  visitNewestFirst([&](const Object& o) {
    if (o.name != name) return false;
    Object& target = const_cast<Object&>(o);
    if (moved) {
      assignObject(target, *moved);
    } else if (moveIntoObject(target, value)) {
      moved = &target;
    } else {
      assignObject(target, value);
    }
    return false;
  });
}

void Scope::deleteVariable(const std::string& name) {
  // Inherited entries come first in a snapshot's list order, so any visible
  // match further out is the "first" one.
  if (parent_) {
    bool inherited = false;
    uint64_t limit = parentLimit_;
    for (const Scope* s = parent_; s && !inherited; limit = s->parentLimit_, s = s->parent_) {
      for (const Entry& e : s->entries_) {
        if (e.serial <= limit && e.object.name == name) {
          inherited = true;
          break;
        }
      }
    }
    if (inherited) throw ScriptError("Cannot delete variable");
  }
  for (auto it = entries_.begin(); it != entries_.end(); ++it) {
    if (it->object.name == name) {
      entries_.erase(it);
      return;
    }
  }
}
