#include "interp/scope.h"

#include "runtime/script_error.h"

namespace {
// Entries are stamped in creation order across all scopes of the thread, so
// a snapshot knows which entries of its parent existed when it was taken.
thread_local uint64_t nextSerial = 1;
}  // namespace

Scope::Scope(const Scope& parent, Snapshot) {
  if (parent.empty()) {
    // Whatever the empty parent gets later is newer than this snapshot; what
    // it sees further out is all there is to see.
    parent_ = parent.parent_;
    parentLimit_ = parent.parentLimit_;
  } else {
    parent_ = &parent;
    parentLimit_ = nextSerial - 1;
  }
}

void Scope::addVariable(Object object) {
  if (!own_) own_ = std::make_unique<Own>();
  Own& own = *own_;
  const auto index = static_cast<uint32_t>(own.slots.size());
  uint32_t& newest = own.newest(VariableName(object.name), own.nameOf());
  const uint32_t older = newest;
  newest = index;
  own.slots.push_back(Slot{Entry{std::move(object), nextSerial++}, older, true});
  ++own.liveCount;
}

void Scope::reserve(size_t count) {
  if (!own_) own_ = std::make_unique<Own>();
  own_->slots.reserve(own_->slots.size() + count);
  own_->newest.reserve(own_->liveCount + count);
}

template <typename Visit>
bool Scope::visitNamed(const Scope* from, uint64_t limit, const VariableName& name, Visit&& visit) {
  for (const Scope* s = from; s; limit = s->parentLimit_, s = s->parent_) {
    if (!s->own_) continue;
    const Own& own = *s->own_;
    for (uint32_t k = own.newest.find(name, own.nameOf()); k != kNone; k = own.slots[k].older) {
      const Entry& e = own.slots[k].entry;
      if (e.serial <= limit && visit(e.object)) return true;
    }
  }
  return false;
}

bool Scope::findVariable(const VariableName& name, Object& result) const {
  return visitNamed(this, UINT64_MAX, name, [&](const Object& o) {
    result = o;
    return true;
  });
}

Scope::Assignment Scope::assignVariable(const VariableName& name, const Object& value) {
  // Every entry of the name, the inherited ones included: they share their
  // payload with the variable they copy, so the assignment reaches it too.
  Assignment found;
  visitNamed(this, UINT64_MAX, name, [&](const Object& o) {
    if (found.entries++ == 0) found.newestType = o.type;
    assignObject(const_cast<Object&>(o), value);
    return false;
  });
  return found;
}

Scope::Assignment Scope::assignVariable(const VariableName& name, Object&& value) {
  Assignment found;
  const Object* moved = nullptr;
  visitNamed(this, UINT64_MAX, name, [&](const Object& o) {
    if (found.entries++ == 0) found.newestType = o.type;
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
  return found;
}

bool Scope::deleteVariable(const VariableName& name) {
  // Inherited entries come first in a snapshot's list order, so any visible
  // match further out is the "first" one.
  if (visitNamed(parent_, parentLimit_, name, [](const Object&) { return true; })) {
    throw ScriptError("Cannot delete variable");
  }
  if (!own_) return false;
  Own& own = *own_;
  uint32_t k = own.newest.find(name, own.nameOf());
  if (k == kNone) return false;
  // The first entry of the name is the oldest: the end of its chain.
  uint32_t newer = kNone;
  while (own.slots[k].older != kNone) {
    newer = k;
    k = own.slots[k].older;
  }
  if (newer == kNone) {
    own.newest.erase(name.hash, k);
  } else {
    own.slots[newer].older = kNone;
  }
  own.slots[k].live = false;
  own.slots[k].entry.object = Object();
  --own.liveCount;
  const size_t gaps = own.slots.size() - own.liveCount;
  if (gaps > 32 && gaps > own.liveCount) compact();
  return true;
}

void Scope::compact() {
  Own& own = *own_;
  std::vector<uint32_t> renumbered(own.slots.size(), kNone);
  std::vector<Slot> kept;
  kept.reserve(own.liveCount);
  for (size_t k = 0; k < own.slots.size(); ++k) {
    if (!own.slots[k].live) continue;
    renumbered[k] = static_cast<uint32_t>(kept.size());
    kept.push_back(std::move(own.slots[k]));
  }
  for (Slot& slot : kept) {
    if (slot.older != kNone) slot.older = renumbered[slot.older];
  }
  own.newest.forEachValue([&](uint32_t& newest) { newest = renumbered[newest]; });
  own.slots = std::move(kept);
}
