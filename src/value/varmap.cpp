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

VarMap VarMap::overlay(const VarMap& base, const VarMap& over, bool* conflicts) {
  if (conflicts) *conflicts = false;
  if (over.empty() || base.sameAs(over)) return base;
  if (base.empty()) return over;
  VarMap result;
  if (over.size() <= base.size()) {
    result = base;
    over.forEach([&](const Text& k, const ValueRef& v) {
      if (conflicts && !*conflicts) {
        const ValueRef* old = result.findRef(k);
        *conflicts = old && *old != v;
      }
      result.set(k, v);
    });
  } else {
    result = over;
    base.forEach([&](const Text& k, const ValueRef& v) {
      if (const ValueRef* upper = result.findRef(k)) {
        if (conflicts && *upper != v) *conflicts = true;
        return;
      }
      result.setIfAbsent(k, v);
    });
  }
  return result;
}

}  // namespace velk
