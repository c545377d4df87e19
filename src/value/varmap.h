// VarMap: the variable map of the language (name to Value reference), also used
// for a scaffold's members.
//
// Scopes are copied at nearly every step: every run copies the two maps it is
// given, every call builds a map of the caller's variables plus its arguments.
// VarMap is therefore a persistent hash array mapped trie: a copy shares the
// whole trie and costs one reference count; a write copies only the path from
// the root to the changed entry, and writes in place where the path is not
// shared. Nothing observable depends on the order of a map's entries, so the
// trie's hash order serves for every walk.
//
// Invariants: a branch holds one slot per set bit of its bitmap, in bit order;
// a slot is either an entry (child null) or a child branch one level deeper;
// at the depth where the 64 hash bits are used up a node is a collision list
// of entries with equal hashes. Entries are never removed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "support/ref.h"
#include "support/text.h"

namespace velk {

class Value;
// Values are destroyed without recursion (value.cpp).
template <>
struct DestroyShared<Value> {
  static void destroy(Value* v);
};
using ValueRef = Ref<Value>;

struct MapNode;

struct MapSlot {
  uint64_t hash = 0;
  Text key;
  ValueRef value;
  Ref<MapNode> child;
};

struct MapNode : RefCounted {
  uint32_t bitmap = 0;
  bool collision = false;
  std::vector<MapSlot> slots;
};

class VarMap {
 public:
  // The Value bound to key, or null.
  Value* find(const Text& key) const {
    const MapSlot* s = locate(key);
    return s ? s->value.get() : nullptr;
  }
  // The binding itself, or null.
  const ValueRef* findRef(const Text& key) const {
    const MapSlot* s = locate(key);
    return s ? &s->value : nullptr;
  }

  // Binds key to value, replacing an existing binding.
  void set(const Text& key, ValueRef value);
  // Binds key to value unless key is bound already.
  void setIfAbsent(const Text& key, ValueRef value);

  size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  // True when both maps are one trie: then they hold the same bindings.
  bool sameAs(const VarMap& o) const { return root_ == o.root_; }
  void swap(VarMap& o) noexcept {
    root_.swap(o.root_);
    std::swap(size_, o.size_);
  }
  void clear() {
    root_.reset();
    size_ = 0;
  }

  template <class F>
  void forEach(F&& f) const {
    if (root_) visit(*root_, f);
  }

  // `over`'s bindings laid over `base`'s: on a name bound in both, `over` wins.
  // Walks only the smaller of the two maps.
  static VarMap overlay(const VarMap& base, const VarMap& over);

 private:
  template <class F>
  static void visit(const MapNode& n, F& f) {
    for (const MapSlot& s : n.slots) {
      if (s.child)
        visit(*s.child, f);
      else
        f(s.key, s.value);
    }
  }
  const MapSlot* locate(const Text& key) const;
  bool insert(const Text& key, uint64_t hash, ValueRef&& value, bool overwrite);

  Ref<MapNode> root_;
  size_t size_ = 0;
};

}  // namespace velk
