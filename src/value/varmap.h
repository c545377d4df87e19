// VarMap: the variable map of the language (name to Value reference), also used
// for a scaffold's members.
//
// Scopes are copied at nearly every step: every run copies the two maps it is
// given, every call builds a map of the caller's variables plus its arguments.
// A VarMap is therefore one shared handle to a head that is copied only when a
// shared map is written. The head holds two layers:
//   - a small flat front layer of the newest bindings (a call's arguments, a
//     body's own locals), searched first and shadowing the layer behind it;
//   - behind it a persistent hash array mapped trie, shared between heads: a
//     write copies only the path from the root to the changed entry, in place
//     where the path is not shared.
// A 64-bit filter of two bits per name ever bound answers most lookups of
// names that are not there (every literal term is looked up as a name first)
// without a search. So a copy costs one reference count, binding a few names in a copy costs one
// small head (never a copy of the trie's root), and the front layer is
// flattened into the trie once it is full. Nothing observable depends on the
// order of a map's entries, so the layers' order serves for every walk.
//
// Invariants: `size` counts distinct names across both layers; a name appears
// at most once in the front layer; a front entry wins over a trie entry of the
// same name. In the trie a branch holds one slot per set bit of its bitmap, in
// bit order; a slot is either an entry (child null) or a child branch one level
// deeper; at the depth where the 64 hash bits are used up a node is a collision
// list of entries with equal hashes. Entries are never removed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <new>
#include <vector>

#include "support/block_pool.h"
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

struct MapEntry {
  uint64_t hash = 0;
  Text key;
  ValueRef value;
};

// The front layer's entries live in place, only the first frontCount of them
// constructed, so that copying or dropping a head touches only those.
struct MapHead : RefCounted {
  static constexpr uint32_t kFrontCapacity = 8;
  MapHead() = default;
  MapHead(const MapHead& o)
      : RefCounted(), frontCount(o.frontCount), size(o.size), filter(o.filter), root(o.root) {
    for (uint32_t i = 0; i < frontCount; ++i) new (&front()[i]) MapEntry(o.front()[i]);
  }
  MapHead& operator=(const MapHead&) = delete;
  ~MapHead() {
    for (uint32_t i = 0; i < frontCount; ++i) front()[i].~MapEntry();
  }

  // Pooled: a call makes one head for its arguments and drops it at its end.
  static void* operator new(size_t size);
  static void operator delete(void* p, size_t size) noexcept;

  MapEntry* front() { return std::launder(reinterpret_cast<MapEntry*>(storage)); }
  const MapEntry* front() const { return std::launder(reinterpret_cast<const MapEntry*>(storage)); }

  uint32_t frontCount = 0;
  size_t size = 0;
  uint64_t filter = 0;  // filterBits of every name bound in either layer
  Ref<MapNode> root;
  alignas(MapEntry) unsigned char storage[kFrontCapacity * sizeof(MapEntry)];
};

class VarMap {
 public:
  // The Value bound to key, or null.
  Value* find(const Text& key) const {
    const ValueRef* r = findRef(key);
    return r ? r->get() : nullptr;
  }
  // The binding itself, or null.
  const ValueRef* findRef(const Text& key) const {
    if (!head_) return nullptr;
    const uint64_t hash = key.hash();
    const uint64_t bits = filterBits(hash);
    if ((head_->filter & bits) != bits) return nullptr;
    if (const MapEntry* e = frontEntry(*head_, key, hash)) return &e->value;
    const MapSlot* s = locate(head_->root.get(), key, hash);
    return s ? &s->value : nullptr;
  }

  // Binds key to value, replacing an existing binding.
  void set(const Text& key, ValueRef value);
  // Binds key to value unless key is bound already.
  void setIfAbsent(const Text& key, ValueRef value);

  size_t size() const { return head_ ? head_->size : 0; }
  bool empty() const { return size() == 0; }
  // True when both maps are one head: then they hold the same bindings.
  bool sameAs(const VarMap& o) const { return head_ == o.head_; }
  void swap(VarMap& o) noexcept { head_.swap(o.head_); }
  void clear() { head_.reset(); }

  template <class F>
  void forEach(F&& f) const {
    if (!head_) return;
    const MapHead& h = *head_;
    const MapEntry* front = h.front();
    for (uint32_t i = 0; i < h.frontCount; ++i) f(front[i].key, front[i].value);
    if (h.root) visit(h, *h.root, f);
  }

  // `over`'s bindings laid over `base`'s: on a name bound in both, `over` wins.
  // Walks only the smaller of the two maps.
  // With `conflicts`, also tells whether a name bound in both is bound to two
  // different Values (when not, the overlay the other way round is the same).
  static VarMap overlay(const VarMap& base, const VarMap& over, bool* conflicts = nullptr);

 private:
  // Taken from the hash's top bits; the trie uses the low ones.
  static uint64_t filterBits(uint64_t hash) {
    return (uint64_t{1} << (hash >> 58)) | (uint64_t{1} << ((hash >> 52) & 63));
  }
  static const MapEntry* frontEntry(const MapHead& h, const Text& key, uint64_t hash) {
    const MapEntry* front = h.front();
    for (uint32_t i = 0; i < h.frontCount; ++i) {
      const MapEntry& e = front[i];
      if (e.hash == hash && e.key == key) return &e;
    }
    return nullptr;
  }
  // Trie entries hidden by a front entry are not visited.
  template <class F>
  static void visit(const MapHead& h, const MapNode& n, F& f) {
    for (const MapSlot& s : n.slots) {
      if (s.child)
        visit(h, *s.child, f);
      else if (!frontEntry(h, s.key, s.hash))
        f(s.key, s.value);
    }
  }
  static const MapSlot* locate(const MapNode* node, const Text& key, uint64_t hash);
  MapHead& own();
  void pushFront(MapHead& h, const Text& key, uint64_t hash, ValueRef&& value);

  Ref<MapHead> head_;
};

}  // namespace velk
