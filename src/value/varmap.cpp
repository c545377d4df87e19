// VarMap: lookups through the front layer and the trie, path-copying inserts,
// flattening the front layer, and overlays.
#include "value/varmap.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <cassert>

#include "value/value.h"

namespace velk {
namespace {

constexpr int kBits = 5;
constexpr int kHashBits = 64;

inline uint32_t bitOf(uint64_t hash, int shift) { return 1u << ((hash >> shift) & 31u); }
inline size_t indexOf(uint32_t bitmap, uint32_t bit) {
  return static_cast<size_t>(std::popcount(bitmap & (bit - 1)));
}

// The node behind ref, made private to this map first if it is shared.
MapNode* own(Ref<MapNode>& ref) {
  if (!ref.unique()) ref = makeRef<MapNode>(*ref);
  return ref.get();
}

// A node one level below `shift` holding the two entries a and b, whose hashes
// agree on every bit used so far.
Ref<MapNode> pairNode(int shift, MapSlot&& a, MapSlot&& b) {
  auto node = makeRef<MapNode>();
  if (shift >= kHashBits) {
    node->collision = true;
    node->slots.push_back(std::move(a));
    node->slots.push_back(std::move(b));
    return node;
  }
  uint32_t bitA = bitOf(a.hash, shift), bitB = bitOf(b.hash, shift);
  if (bitA == bitB) {
    MapSlot link;
    link.child = pairNode(shift + kBits, std::move(a), std::move(b));
    node->bitmap = bitA;
    node->slots.push_back(std::move(link));
  } else {
    node->bitmap = bitA | bitB;
    if (bitA < bitB) {
      node->slots.push_back(std::move(a));
      node->slots.push_back(std::move(b));
    } else {
      node->slots.push_back(std::move(b));
      node->slots.push_back(std::move(a));
    }
  }
  return node;
}


// Binds key in the trie behind `root`, copying the path where it is shared.
// True when the key was not bound before.
bool trieInsert(Ref<MapNode>& root, const Text& key, uint64_t hash, ValueRef&& value) {
  MapSlot fresh;
  fresh.hash = hash;
  fresh.key = key;
  fresh.value = std::move(value);
  if (!root) {
    root = makeRef<MapNode>();
    root->bitmap = bitOf(hash, 0);
    root->slots.push_back(std::move(fresh));
    return true;
  }
  Ref<MapNode>* ref = &root;
  int shift = 0;
  for (;;) {
    MapNode* node = own(*ref);
    if (node->collision) {
      for (MapSlot& s : node->slots) {
        if (s.key == key) {
          s.value = std::move(fresh.value);
          return false;
        }
      }
      node->slots.push_back(std::move(fresh));
      return true;
    }
    uint32_t bit = bitOf(hash, shift);
    size_t idx = indexOf(node->bitmap, bit);
    if (!(node->bitmap & bit)) {
      node->bitmap |= bit;
      node->slots.insert(node->slots.begin() + static_cast<std::ptrdiff_t>(idx), std::move(fresh));
      return true;
    }
    MapSlot& s = node->slots[idx];
    if (s.child) {
      ref = &s.child;
      shift += kBits;
      continue;
    }
    if (s.hash == hash && s.key == key) {
      s.value = std::move(fresh.value);
      return false;
    }
    MapSlot existing = std::move(s);
    s = MapSlot();
    s.child = pairNode(shift + kBits, std::move(existing), std::move(fresh));
    return true;
  }
}

}  // namespace

namespace {

// The bytes of a head whose front layer holds `capacity` entries, which
// follow it in its block.
static_assert(sizeof(MapHead) % alignof(MapEntry) == 0);
constexpr size_t headBytes(uint32_t capacity) { return sizeof(MapHead) + capacity * sizeof(MapEntry); }
template <uint32_t kCapacity>
using Heads = BlockPool<headBytes(kCapacity)>;

// A head has one of the usual two capacities, each with its pool, or fits a
// map that is done growing (see VarMap::fitHead) in a block of its size from
// the general allocator, since such a head is made and dropped once per
// record, not at every call.
[[maybe_unused]] bool isHeadCapacity(uint32_t capacity) { return capacity > 0 && capacity <= MapHead::kWideCapacity; }

void* takeHead(uint32_t capacity) {
  if (capacity == MapHead::kWideCapacity) return Heads<MapHead::kWideCapacity>::take();
  if (capacity == MapHead::kFrontCapacity) return Heads<MapHead::kFrontCapacity>::take();
  return ::operator new(headBytes(capacity));
}

}  // namespace

MapHead* MapHead::make(uint32_t capacity) {
  assert(isHeadCapacity(capacity));
  MapHead* h = ::new (takeHead(capacity)) MapHead;
  h->capacity = capacity;
  return h;
}

MapHead* MapHead::copyOf(const MapHead& o, uint32_t capacity) {
  assert(isHeadCapacity(capacity) && o.frontCount <= capacity);
  MapHead* h = ::new (takeHead(capacity)) MapHead(o);
  h->capacity = capacity;
  return h;
}

void DestroyShared<MapHead>::destroy(MapHead* h) noexcept {
  const uint32_t capacity = h->capacity;
  h->~MapHead();
  if (capacity == MapHead::kWideCapacity)
    Heads<MapHead::kWideCapacity>::give(h);
  else if (capacity == MapHead::kFrontCapacity)
    Heads<MapHead::kFrontCapacity>::give(h);
  else
    ::operator delete(h);
}

void VarMap::fitHead() {
  const MapHead* h = head_.get();
  if (!h || !head_.unique() || h->root || h->below) return;
  if (h->frontCount > 0 && h->frontCount < h->capacity) head_ = Ref<MapHead>(MapHead::copyOf(*h, h->frontCount));
}

void* MapNode::operator new(size_t size) { return takePooled<MapNode>(size); }
void MapNode::operator delete(void* p, size_t size) noexcept { givePooled<MapNode>(p, size); }

// Up to this length a key is hashed even when no name that long is bound:
// its hash is then kept, and a term looked up over and over (a call in a
// loop) takes the short path from then on. Longer ones are never hashed in
// vain, however deep they nest.
constexpr size_t kHashedAnywayBytes = 256;

const ValueRef* VarMap::findUnhashed(const Text& key) const {
  if (key.size() > kHashedAnywayBytes && key.size() > head_->summary.longestKey) return nullptr;
  return findHashed(key, key.hash());
}

const MapSlot* VarMap::locate(const MapNode* node, const Text& key, uint64_t hash) {
  const std::string_view name = key.view();
  int shift = 0;
  while (node) {
    if (node->collision) {
      for (const MapSlot& s : node->slots)
        if (s.key.view() == name) return &s;
      return nullptr;
    }
    uint32_t bit = bitOf(hash, shift);
    if (!(node->bitmap & bit)) return nullptr;
    const MapSlot& s = node->slots[indexOf(node->bitmap, bit)];
    if (s.child) {
      node = s.child.get();
      shift += kBits;
      continue;
    }
    return s.hash == hash && (s.key.rep() == key.rep() || s.key.view() == name) ? &s : nullptr;
  }
  return nullptr;
}

uint64_t newMapStamp() {
  // One counter for the process: heads are dropped and made on any thread
  // that runs, and only the stamps' uniqueness matters.
  static constinit std::atomic<uint64_t> last{0};
  return last.fetch_add(1, std::memory_order_relaxed) + 1;
}

const ValueRef* VarMap::findBelowFront(const MapHead& top, const Text& key, uint64_t hash) {
  if (const MapSlot* s = locate(top.root.get(), key, hash)) return &s->value;
  for (const MapHead* h = top.below.get(); h; h = h->below.get()) {
    const uint64_t bits = filterBits(hash);
    if ((h->filter & bits) != bits) return nullptr;
    if (const ValueRef* v = ownBinding(*h, key, hash)) return v;
  }
  return nullptr;
}

bool VarMap::topBinds(const Text& key) const { return ownBinding(*head_, key, key.hash()) != nullptr; }

const ValueRef* VarMap::findAndRemember(const Text& key, LookupMemo& memo) const {
  const ValueRef* r = findRef(key);
  const MapHead& h = *head_;
  if (h.stamp == 0) h.stamp = newMapStamp();
  memo.head = &h;
  memo.stamp = h.stamp;
  memo.found = r;
  // Where in the front layer it lies, or else what the heads below answer.
  const MapEntry* front = h.front();
  const auto at = reinterpret_cast<uintptr_t>(r);
  const auto first = reinterpret_cast<uintptr_t>(front);
  if (r && at >= first && at < first + h.frontCount * sizeof(MapEntry)) {
    memo.frontAt = static_cast<uint32_t>((at - first) / sizeof(MapEntry));
  } else if (const MapHead* below = h.below.get(); below && !ownBinding(h, key, key.hash())) {
    if (below->stamp == 0) below->stamp = newMapStamp();
    memo.below = below;
    memo.belowStamp = below->stamp;
    memo.belowFound = r;
  }
  return r;
}

namespace {

// A frame's head over `below`: its own layers start empty (not
// value-initialised: only the entries made later are ever read), and what it
// knows of the names bound below is taken from there.
[[gnu::always_inline]] inline MapHead* headOver(Ref<MapHead> below, uint32_t capacity) {
  MapHead* h = MapHead::make(capacity);
  h->summary = below->summary;
  h->summary.depth = static_cast<uint16_t>(below->summary.depth + 1);
  h->size = below->size;
  h->filter = below->filter;
  h->below = std::move(below);
  return h;
}

}  // namespace

MapHead& VarMap::own() {
  if (!head_)
    head_ = Ref<MapHead>(MapHead::make(MapHead::kFrontCapacity));
  else if (!head_.unique())
    head_ = Ref<MapHead>(MapHead::copyOf(*head_));
  else
    head_->stamp = 0;  // about to change in place: what was remembered of it no longer holds
  return *head_;
}

void VarMap::setNewLocal(const Text& key, ValueRef value) {
  assert(!findRef(key));
  const MapHead* shared = head_.get();
  MapHead& h = shared && !head_.unique() && shared->summary.depth < MapHead::kMaxDepth
                   ? frameOverShared()
                   : own();
  ++h.size;
  pushFront(h, key, key.hash(), std::move(value));
}

MapHead& VarMap::frameOverShared() {
  // A copy of the shared head would copy its front layer, and move a full one
  // into its trie to make room: a frame over it takes the binding instead. A
  // body whose map is its caller's (a call without arguments) binds its first
  // local so.
  head_ = Ref<MapHead>(headOver(std::move(head_), MapHead::kWideCapacity));
  return *head_;
}

void VarMap::pushFront(MapHead& h, const Text& key, uint64_t hash, ValueRef&& value) {
  MapEntry* front = h.front();
  if (h.frontCount == h.capacity) {
    // Full: the front layer moves into the trie, newest binding last.
    for (uint32_t i = 0; i < h.frontCount; ++i) {
      MapEntry& e = front[i];
      trieInsert(h.root, e.key, e.hash, std::move(e.value));
      e.~MapEntry();
    }
    h.frontCount = 0;
  }
  h.filter |= filterBits(hash);
  h.ownFilter |= filterBits(hash);
  noteBound(h, key);
  new (&front[h.frontCount]) MapEntry{hash, key, std::move(value)};
  ++h.frontCount;
}

void VarMap::set(const Text& key, ValueRef value) {
  const uint64_t hash = key.hash();
  if (head_) {
    // A binding to the very same Value changes nothing; do not copy for it.
    if (const MapEntry* e = frontEntry(*head_, key, hash)) {
      if (e->value == value) return;
      if (head_.unique()) {
        // Rebound where it lies, as frontBinding would: no name comes or
        // goes, so every lookup remembered in this head stays good.
        const_cast<MapEntry*>(e)->value = std::move(value);
        return;
      }
      MapHead& h = own();
      const_cast<MapEntry*>(frontEntry(h, key, hash))->value = std::move(value);
      return;
    }
    const ValueRef* bound = findHashed(key, hash);
    if (bound && *bound == value) return;
    MapHead& h = own();
    if (!bound) ++h.size;
    pushFront(h, key, hash, std::move(value));
    return;
  }
  MapHead& h = own();
  h.size = 1;
  pushFront(h, key, hash, std::move(value));
}

void VarMap::setIfAbsent(const Text& key, ValueRef value) {
  if (findRef(key)) return;
  setNew(key, std::move(value));
}

void VarMap::setNew(const Text& key, ValueRef value) {
  assert(!findRef(key));
  MapHead& h = own();
  ++h.size;
  pushFront(h, key, key.hash(), std::move(value));
}

size_t VarMap::countNames() const {
  size_t n = 0;
  forEach([&n](const Text&, const ValueRef&) { ++n; });
  head_->size = static_cast<uint32_t>(n);
  head_->summary.sizeAbove = false;
  return n;
}

VarMap VarMap::frame(const VarMap& base, std::span<Binding> bindings) {
  if (bindings.empty()) return base;
  const MapHead* b = base.head_.get();
  VarMap m;
  if (!b) {
    m.head_ = Ref<MapHead>(MapHead::make(MapHead::kWideCapacity));
  } else if (b->summary.depth < MapHead::kMaxDepth) {
    m.head_ = Ref<MapHead>(headOver(base.head_, MapHead::kWideCapacity));
  } else {
    // Deep enough: a head beside base's own, with a copy of its front layer
    // and a share of its trie.
    m.head_ = Ref<MapHead>(MapHead::copyOf(*b, MapHead::kWideCapacity));
  }
  MapHead& h = *m.head_;
  bool flushed = false;  // whether the front layer moved into the trie
  for (Binding& bound : bindings) {
    const Text& key = *bound.key;
    const uint64_t hash = key.hash();
    const uint64_t bits = filterBits(hash);
    if ((h.ownFilter & bits) == bits) {
      if (const MapEntry* e = frontEntry(h, key, hash)) {
        const_cast<MapEntry*>(e)->value = std::move(bound.value);
        continue;
      }
    }
    // Not among the front entries: a new name of this map unless base
    // binds it too, which is not looked up (the size becomes a bound) until
    // the front layer has moved into the trie.
    if (flushed) {
      if (!m.findHashed(key, hash)) ++h.size;
    } else {
      ++h.size;
      if (b) h.summary.sizeAbove = true;
    }
    if (h.frontCount == h.capacity) {
      flushed = true;
      m.pushFront(h, key, hash, std::move(bound.value));
      continue;
    }
    h.filter |= bits;
    h.ownFilter |= bits;
    noteBound(h, key);
    new (&h.front()[h.frontCount]) MapEntry{hash, key, std::move(bound.value)};
    ++h.frontCount;
  }
  return m;
}

// Calls f(name) for every trie entry reachable from `from` that is not
// reached, in the same subtree object, from `against`: two maps that came
// from one share every subtree that neither has changed since, so the walk
// costs in proportion to how the two differ, not to how many names they bind.
template <class F>
void VarMap::visitDifference(const MapNode* from, const MapNode* against, F& f) {
  if (!from || from == against) return;
  if (!against || from->collision || against->collision) {
    for (const MapSlot& s : from->slots) {
      if (s.child)
        visitDifference(s.child.get(), nullptr, f);
      else
        f(s.key);
    }
    return;
  }
  // Both are branches at one depth: the slot of each bit is compared with
  // the slot of the same bit on the other side.
  uint32_t bits = from->bitmap;
  for (const MapSlot& s : from->slots) {
    const uint32_t bit = bits & (~bits + 1);
    bits &= bits - 1;
    const MapSlot* other = (against->bitmap & bit) ? &against->slots[indexOf(against->bitmap, bit)] : nullptr;
    if (s.child) {
      visitDifference(s.child.get(), other ? other->child.get() : nullptr, f);
    } else if (!other || other->child || other->value != s.value || other->hash != s.hash ||
               !(other->key == s.key)) {
      f(s.key);
    }
  }
}

// Calls f(name) for every name of the map of head a whose binding may differ
// in the map of head b, and for every name of either whose binding there may
// differ through what shadows it: every name of a head that only one of them
// reaches, and of two heads at one depth, the names where their front layers
// part and a's names in the subtrees of its trie that b's does not share (a
// subtree that differs holds, on either side, the names of one range of
// hashes, so what b binds there differently from a is found through a's
// names or is not bound in a at all, unless a head below binds it). A name
// may come more than once.
template <class F>
void VarMap::namesThatMayDiffer(const MapHead* a, const MapHead* b, F& f) {
  // A name that a's map does not bind at all never matters: b's names are
  // passed on only when a's filter lets them through.
  const MapHead& aTop = *a;
  auto fromB = [&](const Text& k) {
    if (mayHold(aTop, k.hash())) f(k);
  };
  auto every = [](const MapHead& h, auto& g) {
    for (uint32_t i = 0; i < h.frontCount; ++i) g(h.front()[i].key);
    visitDifference(h.root.get(), nullptr, g);
  };
  while (a != b) {
    if (!a || (b && b->summary.depth > a->summary.depth)) {
      every(*b, fromB);
      b = b->below.get();
      continue;
    }
    if (!b || a->summary.depth > b->summary.depth) {
      every(*a, f);
      a = a->below.get();
      continue;
    }
    // A name bound to one Value in the front layers of both is bound to it in
    // both maps. A binding replaced in a front layer stays where it was, so
    // two fronts copied from one differ only where they were changed.
    const MapEntry* fa = a->front();
    const MapEntry* fb = b->front();
    const uint32_t common = std::min(a->frontCount, b->frontCount);
    for (uint32_t i = 0; i < common; ++i) {
      if (fa[i].hash == fb[i].hash && fa[i].value == fb[i].value && fa[i].key == fb[i].key) continue;
      f(fa[i].key);
      fromB(fb[i].key);
    }
    for (uint32_t j = common; j < a->frontCount; ++j) f(fa[j].key);
    for (uint32_t j = common; j < b->frontCount; ++j) fromB(fb[j].key);
    visitDifference(a->root.get(), b->root.get(), f);
    // Over heads below, a name of b's trie can shadow one a binds further
    // down: then b's names count too.
    if (a->below) visitDifference(b->root.get(), a->root.get(), fromB);
    a = a->below.get();
    b = b->below.get();
  }
}

VarMap VarMap::overlay(const VarMap& base, const VarMap& over, bool* conflicts) {
  if (conflicts) *conflicts = false;
  if (over.empty() || base.sameAs(over)) return base;
  if (base.empty()) return over;
  // Built from the map that will change less: from over when base binds no
  // more names than over (as when the two came from one map and over only
  // rebound some), so that base's bindings are checked and not copied.
  const bool fromBase = over.sizeAtMost() < base.sizeAtMost();
  VarMap result = fromBase ? base : over;
  auto consider = [&](const Text& k) {
    const ValueRef* o = over.findRef(k);
    if (fromBase) {
      if (!o) return;
      const ValueRef* b = base.findRef(k);
      if (b && *b == *o) return;
      if (b && conflicts) *conflicts = true;
      result.set(k, *o);
    } else if (o) {
      if (conflicts && !*conflicts) {
        const ValueRef* b = base.findRef(k);
        *conflicts = b && *b != *o;
      }
    } else if (const ValueRef* b = base.findRef(k)) {
      result.setIfAbsent(k, *b);
    }
  };
  // A change comes from over's names when built from base, from base's when
  // built from over; a conflict is a name of both.
  if (fromBase)
    namesThatMayDiffer(over.head_.get(), base.head_.get(), consider);
  else
    namesThatMayDiffer(base.head_.get(), over.head_.get(), consider);
  return result;
}

template <class ValueOf>
VarMap VarMap::frameOf(const VarMap& base, const Text* names, size_t count, ValueOf valueOf) {
  // A frame over frames adds a head that every lookup of a name below it
  // passes; past this depth the names are bound in a copy instead.
  constexpr uint16_t kFramedDepth = MapHead::kMaxDepth + 2;
  const MapHead* b = base.head_.get();
  if (count == 0 || count > MapHead::kFrontCapacity || (b && b->summary.depth >= kFramedDepth)) {
    VarMap m = base;
    for (size_t i = 0; i < count; ++i) m.set(names[i], valueOf(i));
    return m;
  }
  Ref<MapHead> head(b ? headOver(base.head_, MapHead::kFrontCapacity) : MapHead::make(MapHead::kFrontCapacity));
  MapHead& h = *head;
  MapEntry* out = h.front();
  for (size_t i = 0; i < count; ++i) {
    const Text& key = names[i];
    const uint64_t hash = key.hash();
    if (!b || !base.findHashed(key, hash)) ++h.size;
    new (&out[i]) MapEntry{hash, key, valueOf(i)};
    h.frontCount = static_cast<uint32_t>(i + 1);
    h.filter |= filterBits(hash);
    h.ownFilter |= filterBits(hash);
    noteBound(h, key);
  }
  VarMap m;
  m.head_ = std::move(head);
  return m;
}

VarMap VarMap::framed(const VarMap& base, const VarMap& from, const Text* names, size_t count) {
  return frameOf(base, names, count, [&](size_t i) { return *from.findRef(names[i]); });
}

VarMap VarMap::framed(const VarMap& base, const Text& name, ValueRef value) {
  return frameOf(base, &name, 1, [&](size_t) { return std::move(value); });
}

void VarMap::rebindEach(const VarMap& base, const Text& name, ValueRef value) {
  MapHead& h = *head_;
  MapEntry* front = h.front();
  // Each binding is replaced where it lies: no name comes or goes. The names
  // were bound over base, so base binds each of them.
  bool held = false;
  for (uint32_t i = 0; i < h.frontCount; ++i) {
    MapEntry& e = front[i];
    if (!held && e.key == name) {
      e.value = std::move(value);
      held = true;
    } else {
      const ValueRef* bound = base.findHashed(e.key, e.hash);
      assert(bound);
      e.value = *bound;
    }
  }
  if (!held) set(name, std::move(value));
}

bool VarMap::reframe(const VarMap& base, const VarMap& from, const Text* names, size_t count) {
  if (!head_.unique() || head_->below || head_->frontCount != count) return false;
  MapHead& h = *head_;
  MapEntry* front = h.front();
  for (size_t i = 0; i < count; ++i)
    if (!(front[i].key == names[i])) return false;
  h.below = base.head_;
  // Each binding is replaced where it lies: no name comes or goes. A map
  // that binds just the names, bound in that order (a turn's new variables),
  // holds each at the same place in its front layer.
  const MapHead* f = from.head_.get();
  const MapEntry* in = f && !f->below && !f->root && f->frontCount == count ? f->front() : nullptr;
  for (size_t i = 0; i < count; ++i)
    front[i].value = in && in[i].key.rep() == front[i].key.rep() ? in[i].value : *from.findRef(names[i]);
  return true;
}

}  // namespace velk
