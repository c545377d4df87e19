// VarMap: lookups through the front layer and the trie, path-copying inserts,
// flattening the front layer, and overlays.
#include "value/varmap.h"

#include <bit>

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

using HeadPool = BlockPool<sizeof(MapHead)>;

void* MapHead::operator new(size_t size) {
  return size == sizeof(MapHead) ? HeadPool::take() : ::operator new(size);
}

void MapHead::operator delete(void* p, size_t size) noexcept {
  if (size == sizeof(MapHead))
    HeadPool::give(p);
  else
    ::operator delete(p);
}

// Up to this length a key is hashed even when no name that long is bound:
// its hash is then kept, and a term looked up over and over (a call in a
// loop) takes the short path from then on. Longer ones are never hashed in
// vain, however deep they nest.
constexpr size_t kHashedAnywayBytes = 256;

const ValueRef* VarMap::findUnhashed(const Text& key) const {
  if (key.size() > kHashedAnywayBytes && key.size() > map_detail::longestKey) return nullptr;
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

namespace map_detail {

thread_local constinit bool literalSpeltKeys = false;
thread_local constinit size_t longestKey = 0;

void noteKey(const Text& key) {
  const std::string_view name = key.view();
  if (name.empty()) return;
  const unsigned char c = static_cast<unsigned char>(name.front());
  if (c == '"' || c == '\'' || c == '+' || c == '-' || (c >= '0' && c <= '9') || c <= ' ' ||
      name.find('.') != std::string_view::npos)
    literalSpeltKeys = true;
}

}  // namespace map_detail

uint64_t newMapStamp() {
  static thread_local uint64_t last = 0;
  return ++last;
}

const ValueRef* VarMap::findAndRemember(const Text& key, LookupMemo& memo) const {
  const ValueRef* r = findRef(key);
  const MapHead& h = *head_;
  if (h.stamp == 0) h.stamp = newMapStamp();
  memo.head = &h;
  memo.stamp = h.stamp;
  memo.found = r;
  return r;
}

MapHead& VarMap::own() {
  if (!head_)
    head_ = makeRef<MapHead>();
  else if (!head_.unique())
    head_ = makeRef<MapHead>(*head_);
  else
    head_->stamp = 0;  // about to change in place: what was remembered of it no longer holds
  return *head_;
}

void VarMap::pushFront(MapHead& h, const Text& key, uint64_t hash, ValueRef&& value) {
  MapEntry* front = h.front();
  if (h.frontCount == MapHead::kFrontCapacity) {
    // Full: the front layer moves into the trie, newest binding last.
    for (uint32_t i = 0; i < h.frontCount; ++i) {
      MapEntry& e = front[i];
      trieInsert(h.root, e.key, e.hash, std::move(e.value));
      e.~MapEntry();
    }
    h.frontCount = 0;
  }
  h.filter |= filterBits(hash);
  map_detail::noteBound(key);
  new (&front[h.frontCount]) MapEntry{hash, key, std::move(value)};
  ++h.frontCount;
}

void VarMap::set(const Text& key, ValueRef value) {
  const uint64_t hash = key.hash();
  if (head_) {
    // A binding to the very same Value changes nothing; do not copy for it.
    if (const MapEntry* e = frontEntry(*head_, key, hash)) {
      if (e->value == value) return;
      MapHead& h = own();
      const_cast<MapEntry*>(frontEntry(h, key, hash))->value = std::move(value);
      return;
    }
    const MapSlot* s = locate(head_->root.get(), key, hash);
    if (s && s->value == value) return;
    MapHead& h = own();
    if (!s) ++h.size;
    pushFront(h, key, hash, std::move(value));
    return;
  }
  MapHead& h = own();
  h.size = 1;
  pushFront(h, key, hash, std::move(value));
}

void VarMap::setIfAbsent(const Text& key, ValueRef value) {
  if (findRef(key)) return;
  MapHead& h = own();
  ++h.size;
  pushFront(h, key, key.hash(), std::move(value));
}

VarMap VarMap::with(const VarMap& base, const Text& key, ValueRef value) {
  const MapHead* b = base.head_.get();
  if (!b || b->frontCount == MapHead::kFrontCapacity) {
    VarMap m = base;
    m.set(key, std::move(value));
    return m;
  }
  const uint64_t hash = key.hash();
  // Not value-initialised: only the entries made below are ever read. The
  // front entries are copied in one pass that also finds key's among them.
  Ref<MapHead> head(new MapHead);
  MapHead& h = *head;
  const MapEntry* front = b->front();
  MapEntry* out = h.front();
  const uint32_t count = b->frontCount;
  bool replaced = false;
  for (uint32_t i = 0; i < count; ++i) {
    const MapEntry& e = front[i];
    if (!replaced && e.hash == hash && e.key == key) {
      if (e.value == value) {
        h.frontCount = i;
        return base;
      }
      new (&out[i]) MapEntry{hash, e.key, std::move(value)};
      replaced = true;
    } else {
      new (&out[i]) MapEntry(e);
    }
  }
  h.frontCount = count;
  h.size = b->size;
  h.root = b->root;
  if (!replaced) {
    const MapSlot* s = locate(b->root.get(), key, hash);
    if (s && s->value == value) return base;
    if (!s) ++h.size;
    map_detail::noteBound(key);
    new (&out[count]) MapEntry{hash, key, std::move(value)};
    h.frontCount = count + 1;
  }
  h.filter = b->filter | filterBits(hash);
  VarMap m;
  m.head_ = std::move(head);
  return m;
}

// Calls f(slot) for every trie entry reachable from `from` that is not
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
        f(s);
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
      f(s);
    }
  }
}

VarMap VarMap::overlay(const VarMap& base, const VarMap& over, bool* conflicts) {
  if (conflicts) *conflicts = false;
  if (over.empty() || base.sameAs(over)) return base;
  if (base.empty()) return over;
  const MapHead& b = *base.head_;
  const MapHead& o = *over.head_;
  VarMap result;
  // Built from the map that will change less: from over when base binds no
  // more names than over (as when the two came from one map and over only
  // rebound some), so that base's bindings are checked and not copied.
  if (over.size() < base.size()) {
    // Base's bindings, then over's where they differ: those of over's trie
    // outside what the two tries share, the names base's front layer binds
    // (which may hide a shared trie entry over still reads), and over's front
    // layer last, since it hides over's own trie.
    result = base;
    auto put = [&](const Text& k, const ValueRef& v) {
      if (conflicts && !*conflicts) {
        const ValueRef* old = result.findRef(k);
        *conflicts = old && *old != v;
      }
      result.set(k, v);
    };
    auto fromTrie = [&](const MapSlot& s) {
      if (!frontEntry(o, s.key, s.hash)) put(s.key, s.value);
    };
    visitDifference(o.root.get(), b.root.get(), fromTrie);
    for (uint32_t i = 0; i < b.frontCount; ++i) {
      const MapEntry& e = b.front()[i];
      if (!mayHold(o, e.hash)) continue;
      if (const ValueRef* v = over.findRef(e.key)) put(e.key, *v);
    }
    for (uint32_t i = 0; i < o.frontCount; ++i) put(o.front()[i].key, o.front()[i].value);
  } else {
    // Over's bindings, plus base's for the names over lacks: those of base's
    // trie outside what the two share (a shared entry is in over already),
    // and base's front layer.
    result = over;
    auto add = [&](const Text& k, const ValueRef& v) {
      if (const ValueRef* upper = result.findRef(k)) {
        if (conflicts && *upper != v) *conflicts = true;
        return;
      }
      result.setIfAbsent(k, v);
    };
    auto fromTrie = [&](const MapSlot& s) {
      // An entry that base's front layer hides is not base's binding.
      if (!frontEntry(b, s.key, s.hash)) add(s.key, s.value);
    };
    visitDifference(b.root.get(), o.root.get(), fromTrie);
    for (uint32_t i = 0; i < b.frontCount; ++i) add(b.front()[i].key, b.front()[i].value);
    // A name over's front layer rebinds may be bound in a shared subtree,
    // which the walk skipped.
    if (conflicts && !*conflicts) {
      for (uint32_t i = 0; i < o.frontCount; ++i) {
        if (!mayHold(b, o.front()[i].hash)) continue;
        const ValueRef* v = base.findRef(o.front()[i].key);
        if (v && *v != o.front()[i].value) *conflicts = true;
      }
    }
  }
  return result;
}

}  // namespace velk
