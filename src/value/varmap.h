// VarMap: the variable map of the language (name to Value reference), also used
// for a scaffold's members.
//
// Scopes are copied at nearly every step: every run copies the two maps it is
// given, every call builds a map of the caller's variables plus its arguments.
// A VarMap is therefore one shared handle to a head that is copied only when a
// shared map is written. A head holds two layers of its own:
//   - a small flat front layer of the newest bindings, searched first and
//     shadowing everything behind it;
//   - behind it a persistent hash array mapped trie, shared between heads: a
//     write copies only the path from the root to the changed entry, in place
//     where the path is not shared.
// A frame (a call's map: its arguments and locals in front of the caller's
// variables) is a head of its own over the caller's head, which it shadows
// and never changes: making one costs one small head whatever the caller can
// see, and its locals overflow into a trie of its own, not into a copy of the
// caller's. Frames over frames go a few heads deep; past that, a new frame
// takes over the top head's layers (a copy of its front, a share of its
// trie) instead, so a lookup passes a bounded number of heads.
// A 64-bit filter of two bits per name ever bound answers most lookups of
// names that are not there (every literal term is looked up as a name first)
// without a search. Nothing observable depends on the order of a map's
// entries, so the layers' order serves for every walk.
//
// Invariants: `size` counts distinct names across all heads; a name appears
// at most once in a front layer; a front entry wins over a trie entry of the
// same name, and a head's own layers over the head below. In the trie a
// branch holds one slot per set bit of its bitmap, in bit order; a slot is
// either an entry (child null) or a child branch one level deeper; at the
// depth where the 64 hash bits are used up a node is a collision list of
// entries with equal hashes. Entries are never removed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <new>
#include <span>
#include <string_view>
#include <vector>

#include "support/block_pool.h"
#include "support/ref.h"
#include "support/text.h"
#include "value/numbers.h"

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
  // Pooled: a write copies the nodes on its path.
  static void* operator new(size_t size);
  static void operator delete(void* p, size_t size) noexcept;
};

struct MapEntry {
  uint64_t hash = 0;
  Text key;
  ValueRef value;
};

// A stamp no head has had before (never 0). Stamps tell heads apart in a
// remembered lookup: a head made at the address of a dropped one gets a new
// stamp, so it never passes for the old one. Only their uniqueness counts;
// no run can tell one stamp from another.
uint64_t newMapStamp();

struct MapHead;
// Heads come in two sizes (see MapHead::make), and go back to the pool of theirs.
template <>
struct DestroyShared<MapHead> {
  static void destroy(MapHead* h) noexcept;
};

// The front layer's entries follow the head in its block, only the first frontCount of them
// constructed, so that copying or dropping a head touches only those.
// Most heads have room for kFrontCapacity entries; a frame's (a call's
// arguments and locals, a body's first locals) has room for kWideCapacity,
// so that a body binding a few locals over a few arguments does not move
// them all into a trie of its own at every call. Only frames are made wide:
// a head that lives long (a record's members) stays small, and once it is
// done growing it moves into a head of exactly its entries (see
// VarMap::fitHead).
struct MapHead : RefCounted {
  static constexpr uint32_t kFrontCapacity = 8;
  static constexpr uint32_t kWideCapacity = 16;
  // How many heads deep frames over frames go.
  static constexpr uint32_t kMaxDepth = 2;
  MapHead() = default;
  MapHead(const MapHead& o)
      : RefCounted(),
        frontCount(o.frontCount),
        capacity(o.capacity),
        size(o.size),
        summary(o.summary),
        filter(o.filter),
        ownFilter(o.ownFilter),
        root(o.root),
        below(o.below) {
    MapEntry* to = front();
    for (const MapEntry *from = o.front(), *end = from + frontCount; from != end; ++from, ++to)
      new (to) MapEntry(*from);
  }
  MapHead& operator=(const MapHead&) = delete;
  ~MapHead() {
    for (MapEntry *e = front(), *end = e + frontCount; e != end; ++e) e->~MapEntry();
  }

  // A head with an empty front layer of `capacity` entries, or a copy of
  // `o` with room for at least its entries. Pooled: a call makes one head
  // for its arguments and drops it at its end. The block holds the head and
  // then room for its front layer, so a head is made only here.
  static MapHead* make(uint32_t capacity);
  static MapHead* copyOf(const MapHead& o, uint32_t capacity);
  static MapHead* copyOf(const MapHead& o) { return copyOf(o, o.capacity); }

  // The front layer lies right after the head, in the same block.
  MapEntry* front() {
    return std::launder(reinterpret_cast<MapEntry*>(reinterpret_cast<unsigned char*>(this) + sizeof(MapHead)));
  }
  const MapEntry* front() const {
    return std::launder(reinterpret_cast<const MapEntry*>(reinterpret_cast<const unsigned char*>(this) + sizeof(MapHead)));
  }

  uint32_t frontCount = 0;
  uint32_t capacity = kFrontCapacity;  // how many front entries its block has room for
  // Distinct names bound here and below (see Summary::sizeAbove); beside
  // the two counts above, so that the head takes one word less.
  mutable uint32_t size = 0;
  // Small facts of the head, in one word: a head is copied at every write to
  // a shared map, and they are copied at once.
  struct Summary {
    // 1, or 1 more than the head below.
    uint16_t depth = 1;
    // Whether a name bound here or below could read as a term that is not a
    // plain name (see maySpellTerm): until one is, no variable of this map
    // hides a literal, a group, a call or a block, and such a term need not
    // be looked up as a name first.
    bool termNames = false;
    // Whether `size` may count a name twice: a frame binds its names
    // without looking for them below, where the caller may bind them too
    // (an argument named like a caller's variable). Then `size` is an upper
    // bound, 0 only for a map that binds nothing, and VarMap::size counts.
    bool sizeAbove = false;
    // The length of the longest name bound here or below.
    uint32_t longestKey = 0;
  } summary;
  // Given when a lookup first remembers what it found in this head, and
  // taken away (0) before every change: a head with the stamp that a lookup
  // remembered still holds the bindings it saw, since the trie behind it is
  // persistent (a node that a head reaches changes in place only through
  // that head, and that head loses its stamp first). A head made anew has
  // none, so a head at the address of a dropped one never passes for it.
  mutable uint64_t stamp = 0;
  uint64_t filter = 0;  // filterBits of every name bound here and below
  uint64_t ownFilter = 0;  // filterBits of every name bound in this head's own two layers
  Ref<MapNode> root;
  // A frame's head lies in front of the map it was made over (a call's
  // arguments and locals in front of the caller's variables): its own
  // layers shadow the head below, which no write through this head ever
  // changes, since it is shared or reached only from here.
  Ref<MapHead> below;
};

// What one lookup of a name found in one map, to be reused while that map is
// unchanged: kept beside a name that is looked up again and again (a term of
// a loop's condition, an assignment's target), it answers without a search.
// A memo that keeps missing (a name in a function body, looked up in a new
// map at every call) stops remembering the map, apart from one try in a
// while, so that it costs next to nothing where it cannot help.
// Beside the map it keeps where in a head's front layer the name was last
// found: a function body's arguments and locals lie at the same places in
// the new map of every call, so that place answers across calls, told good
// by the binding's name being the looked-up name's very object (interned
// names are shared; a name is in a front layer once at most, and a front
// entry shadows everything behind it). And for a name that the map's top head
// does not bind itself, what the heads below it answered: a body's map is a
// new head at every call, over the same caller's map, where the functions it
// calls and the variables it shares are found.
struct LookupMemo {
  const void* head = nullptr;  // compared only, never followed
  uint64_t stamp = 0;  // never that of a head without a stamp
  const void* found = nullptr;  // the ValueRef found, or null
  uint32_t misses = 0;  // since the last time it answered
  uint32_t frontAt = kNowhere;  // where in the top head's front layer it was last found
  const void* below = nullptr;  // the head below the top whose answer is kept, compared only
  uint64_t belowStamp = 0;  // that head's stamp then, never 0
  const void* belowFound = nullptr;  // the ValueRef found there, or null
  static constexpr uint32_t kNowhere = ~uint32_t{0};
  static constexpr uint32_t kGiveUp = 8;
  static constexpr uint32_t kRetryEvery = 64;
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
    if (!key.hashKnown()) return findUnhashed(key);
    return findHashed(key, key.hash());
  }

  // findRef(key), answered from `memo` when the memo is of this very map as
  // it is now, names the front entry of key, or kept what the heads below
  // answered; the memo must always be used with the same key. Only a
  // search remembers, and a memo that keeps missing searches without it.
  const ValueRef* findRef(const Text& key, LookupMemo& memo) const {
    const ValueRef* found;
    if (remembered(memo, found)) return found;
    const MapHead* h = head_.get();
    if (!h) return nullptr;
    // A map made anew (a call's): what the memo kept of the front layer's
    // places and of the heads below answers, and is remembered for this map
    // when it has a stamp.
    if (memo.frontAt < h->frontCount) {
      const MapEntry& e = h->front()[memo.frontAt];
      if (e.key.rep() == key.rep()) return rememberHere(memo, &e.value);
    }
    if (h->below && memo.below == h->below.get() && memo.belowStamp == h->below->stamp) {
      // The head below answers as it did, unless this head binds the name
      // itself; its filter mostly tells that it does not at once.
      const uint64_t bits = filterBits(key.hash());
      if ((h->ownFilter & bits) != bits || !topBinds(key))
        return rememberHere(memo, static_cast<const ValueRef*>(memo.belowFound));
    }
    if (++memo.misses <= LookupMemo::kGiveUp || memo.misses % LookupMemo::kRetryEvery == 0)
      return findAndRemember(key, memo);
    return findRef(key);
  }
  // True, with the binding (or null) in `found`, when `memo` answers for
  // this very map as it is now; nothing is searched.
  bool remembered(LookupMemo& memo, const ValueRef*& found) const {
    const MapHead* h = head_.get();
    // A memo that names a head holds a stamp, which is never 0.
    if (!h || memo.stamp != h->stamp || memo.head != h) return false;
    memo.misses = 0;
    found = static_cast<const ValueRef*>(memo.found);
    return true;
  }
  Value* find(const Text& key, LookupMemo& memo) const {
    const ValueRef* r = findRef(key, memo);
    return r ? r->get() : nullptr;
  }

  // Binds key to value, replacing an existing binding.
  void set(const Text& key, ValueRef value);
  // Binds key to value unless key is bound already.
  void setIfAbsent(const Text& key, ValueRef value);
  // Binds key, which the map does not bind, to value: set() without the
  // search for a binding to replace.
  void setNew(const Text& key, ValueRef value);
  // setNew for a map that lives briefly (a body's, which the caller's
  // variables start): a head shared and full is not copied for the binding,
  // which goes into a frame over it (while frames may go one deeper).
  void setNewLocal(const Text& key, ValueRef value);
  // The binding of key, to be replaced in place, when key is among the
  // newest bindings of a head that no other map shares; else null (then
  // set() rebinds it). Replacing it keeps every remembered lookup of this map
  // good: the binding stays where lookups found it, and no name comes or goes.
  ValueRef* frontBinding(const Text& key) {
    if (!head_ || !head_.unique()) return nullptr;
    return const_cast<ValueRef*>(frontValue(*head_, key, key.hash()));
  }
  // `base` with each key bound to its value, in order (a later binding of a
  // key replaces an earlier one): the map that copying `base` and then
  // binding them makes, built at once as a frame over base (or, past the
  // frames' depth, as one new head beside base's trie) instead of a copy of
  // base's head that is then changed. What a call's map starts as: its
  // arguments in front of the caller's variables.
  struct Binding {
    const Text* key;
    ValueRef value;
  };
  static VarMap frame(const VarMap& base, std::span<Binding> bindings);
  // Moves the bindings into a head just large enough for them, when the map
  // holds them all in its own head's front layer: what a map that is done
  // growing (a record's members) keeps, so that it holds no room it will
  // not use. Nothing any lookup or binding sees changes.
  void fitHead();
  // The frame of one binding.
  static VarMap with(const VarMap& base, const Text& key, ValueRef value) {
    Binding one[] = {{&key, std::move(value)}};
    return frame(base, one);
  }

  // How many names it binds.
  size_t size() const { return head_ ? (head_->summary.sizeAbove ? countNames() : head_->size) : 0; }
  bool empty() const { return sizeAtMost() == 0; }
  // Whether some name of this map could read as a term that is not a plain
  // name, so that such a term must be looked up as a name first: exact for
  // this map, whatever other maps bind.
  bool mayHideTerms() const { return head_ && head_->summary.termNames; }
  // True when both maps are one head: then they hold the same bindings.
  bool sameAs(const VarMap& o) const { return head_ == o.head_; }
  void swap(VarMap& o) noexcept { head_.swap(o.head_); }
  void clear() { head_.reset(); }

  // Every name once, with the binding that a lookup finds.
  template <class F>
  void forEach(F&& f) const {
    for (const MapHead* h = head_.get(); h; h = h->below.get()) {
      auto visible = [&](const Text& k, uint64_t hash, const ValueRef& v) {
        if (!boundAbove(h, k, hash)) f(k, v);
      };
      const MapEntry* front = h->front();
      for (uint32_t i = 0; i < h->frontCount; ++i) visible(front[i].key, front[i].hash, front[i].value);
      if (h->root) visit(*h, *h->root, visible);
    }
  }

  // `over`'s bindings laid over `base`'s: on a name bound in both, `over` wins.
  // Costs in proportion to how the two maps differ: subtrees they share (two
  // maps made from one share all they have not changed since) are skipped.
  // With `conflicts`, also tells whether a name bound in both is bound to two
  // different Values (when not, the overlay the other way round is the same).
  static VarMap overlay(const VarMap& base, const VarMap& over, bool* conflicts = nullptr);
  // `base` with `from`'s bindings of `count` names (each bound in `from`, at
  // most kFrontCapacity of them) laid over it: one head of those bindings in
  // front of base's, which costs in proportion to the names, whatever base
  // binds. Past a few heads of frames, a copy of base with them bound.
  static VarMap framed(const VarMap& base, const VarMap& from, const Text* names, size_t count);
  // A frame that framed() made over base, kept by its maker from one use to
  // the next so that the lookups remembered in it keep answering: unframe()
  // lets go of the map below (which may then change in place) and leaves the
  // frame no map; reframe() lays it back over base, when base is the map it
  // was made over and unchanged since (the same head and a stamp from
  // baseStamp() taken then) and the frame holds `names` in that order, and
  // rebinds each to from's binding where it lies. False, touching nothing,
  // when the frame is shared or the rest does not hold.
  bool isFrameOver(const VarMap& base) const { return head_ && base.head_ && head_->below == base.head_; }
  uint64_t baseStamp() const {
    if (head_ && head_->stamp == 0) head_->stamp = newMapStamp();
    return head_ ? head_->stamp : 0;
  }
  const void* headId() const { return head_.get(); }
  bool unframe() {
    if (!head_.unique()) return false;
    head_->below.reset();
    return true;
  }
  bool reframe(const VarMap& base, const VarMap& from, const Text* names, size_t count);
  // framed() of one name bound to value, and the same kept: the frame, held
  // nowhere else, still over base's very head (which it keeps from changing
  // in place) and with no trie of its own, rebinds the name to value and
  // every other name it holds to base's binding, where they lie, so that
  // the lookups remembered in it keep answering (a name it does not hold yet
  // is bound in front). False, touching nothing, when the rest does not hold.
  static VarMap framed(const VarMap& base, const Text& name, ValueRef value);
  bool rebindFrame(const VarMap& base, const Text& name, ValueRef value) {
    if (!head_.unique() || !base.head_ || head_->below != base.head_ || head_->root) return false;
    // Mostly the frame holds just the name (a loop that rebinds one name).
    if (MapEntry* front = head_->front(); head_->frontCount == 1 && front[0].key == name)
      front[0].value = std::move(value);
    else
      rebindEach(base, name, std::move(value));
    return true;
  }

 private:
  // The size, or a bound above it (see Summary::sizeAbove).
  size_t sizeAtMost() const { return head_ ? head_->size : 0; }
  // The size counted name by name, kept in the head from then on.
  size_t countNames() const;
  // Taken from the hash's top bits; the trie uses the low ones.
  static uint64_t filterBits(uint64_t hash) {
    return (uint64_t{1} << (hash >> 58)) | (uint64_t{1} << ((hash >> 52) & 63));
  }
  // False when the head binds no name of this hash, by its filter alone.
  static bool mayHold(const MapHead& h, uint64_t hash) {
    const uint64_t bits = filterBits(hash);
    return (h.filter & bits) == bits;
  }
  // Newest first: a body's reads are mostly of its arguments and its own
  // locals, bound after what it inherited (a name is there once at most).
  static const MapEntry* frontEntry(const MapHead& h, const Text& key, uint64_t hash) {
    const MapEntry* front = h.front();
    for (uint32_t i = h.frontCount; i-- > 0;) {
      const MapEntry& e = front[i];
      if (e.hash == hash && e.key == key) return &e;
    }
    return nullptr;
  }
  static const ValueRef* frontValue(const MapHead& h, const Text& key, uint64_t hash) {
    const MapEntry* e = frontEntry(h, key, hash);
    return e ? &e->value : nullptr;
  }
  // Trie entries hidden by a front entry are not visited.
  template <class F>
  static void visit(const MapHead& h, const MapNode& n, F& f) {
    for (const MapSlot& s : n.slots) {
      if (s.child)
        visit(h, *s.child, f);
      else if (!frontEntry(h, s.key, s.hash))
        f(s.key, s.hash, s.value);
    }
  }
  // The binding in h's own two layers, or null.
  static const ValueRef* ownBinding(const MapHead& h, const Text& key, uint64_t hash) {
    const uint64_t bits = filterBits(hash);
    if ((h.ownFilter & bits) != bits) return nullptr;
    if (const MapEntry* e = frontEntry(h, key, hash)) return &e->value;
    const MapSlot* s = locate(h.root.get(), key, hash);
    return s ? &s->value : nullptr;
  }
  // Whether a head of this map above h binds key in its own layers.
  bool boundAbove(const MapHead* h, const Text& key, uint64_t hash) const {
    for (const MapHead* a = head_.get(); a != h; a = a->below.get())
      if (ownBinding(*a, key, hash)) return true;
    return false;
  }
  // findRef of a key whose hash is not known yet. A long key, longer than
  // every name the map binds, is bound nowhere, and is not hashed to find that
  // out: a term that is a long group, block or call is looked up at every
  // level that nests it, and hashing it each time would read the text once
  // per level.
  const ValueRef* findUnhashed(const Text& key) const;
  const ValueRef* findHashed(const Text& key, uint64_t hash) const {
    const uint64_t bits = filterBits(hash);
    const MapHead* h = head_.get();
    if ((h->filter & bits) != bits) return nullptr;
    if (const MapEntry* e = frontEntry(*h, key, hash)) return &e->value;
    if (!h->below) {
      const MapSlot* s = locate(h->root.get(), key, hash);
      return s ? &s->value : nullptr;
    }
    return findBelowFront(*h, key, hash);
  }
  // The rest of findHashed in a frame, past its front layer.
  static const ValueRef* findBelowFront(const MapHead& top, const Text& key, uint64_t hash);
  static const MapSlot* locate(const MapNode* node, const Text& key, uint64_t hash);
  template <class F>
  static void visitDifference(const MapNode* from, const MapNode* against, F& f);
  template <class F>
  static void namesThatMayDiffer(const MapHead* a, const MapHead* b, F& f);
  const ValueRef* findAndRemember(const Text& key, LookupMemo& memo) const;
  [[gnu::noinline]] void rebindEach(const VarMap& base, const Text& name, ValueRef value);
  template <class ValueOf>
  static VarMap frameOf(const VarMap& base, const Text* names, size_t count, ValueOf valueOf);
  // Whether what `memo` kept of the heads below the top still answers.
  // Whether the top head's own layers bind key (out of line: a lookup asks
  // only when the head's filter cannot tell).
  [[gnu::noinline]] bool topBinds(const Text& key) const;
  const ValueRef* rememberHere(LookupMemo& memo, const ValueRef* found) const {
    if (const uint64_t stamp = head_->stamp) {
      memo.head = head_.get();
      memo.stamp = stamp;
      memo.found = found;
      memo.misses = 0;
    }
    return found;
  }
  MapHead& own();
  [[gnu::noinline]] MapHead& frameOverShared();
  // Records in h's own summary that it binds key.
  static void noteBound(MapHead& h, const Text& key) {
    if (key.size() > h.summary.longestKey) h.summary.longestKey = static_cast<uint32_t>(key.size());
    if (!h.summary.termNames) h.summary.termNames = maySpellTerm(key);
  }
  void pushFront(MapHead& h, const Text& key, uint64_t hash, ValueRef&& value);

  Ref<MapHead> head_;
};

}  // namespace velk
