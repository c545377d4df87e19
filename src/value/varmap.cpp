// VarMap: lookups, path-copying inserts and overlays of the persistent trie.
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

}  // namespace

const MapSlot* VarMap::locate(const Text& key) const {
  const MapNode* node = root_.get();
  const uint64_t hash = key.hash();
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
    return s.hash == hash && s.key.view() == name ? &s : nullptr;
  }
  return nullptr;
}

void VarMap::set(const Text& key, ValueRef value) {
  uint64_t hash = key.hash();
  // A binding to the very same Value changes nothing; do not copy a path for it.
  if (const ValueRef* old = findRef(key); old && *old == value) return;
  if (insert(key, hash, std::move(value), true)) ++size_;
}

void VarMap::setIfAbsent(const Text& key, ValueRef value) {
  if (findRef(key)) return;
  if (insert(key, key.hash(), std::move(value), false)) ++size_;
}

bool VarMap::insert(const Text& key, uint64_t hash, ValueRef&& value, bool overwrite) {
  MapSlot fresh;
  fresh.hash = hash;
  fresh.key = key;
  fresh.value = std::move(value);
  if (!root_) {
    root_ = makeRef<MapNode>();
    root_->bitmap = bitOf(hash, 0);
    root_->slots.push_back(std::move(fresh));
    return true;
  }
  Ref<MapNode>* ref = &root_;
  int shift = 0;
  for (;;) {
    MapNode* node = own(*ref);
    if (node->collision) {
      for (MapSlot& s : node->slots) {
        if (s.key == key) {
          if (overwrite) s.value = std::move(fresh.value);
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
      if (overwrite) s.value = std::move(fresh.value);
      return false;
    }
    MapSlot existing = std::move(s);
    s = MapSlot();
    s.child = pairNode(shift + kBits, std::move(existing), std::move(fresh));
    return true;
  }
}

VarMap VarMap::overlay(const VarMap& base, const VarMap& over) {
  if (over.empty() || base.sameAs(over)) return base;
  if (base.empty()) return over;
  VarMap result;
  if (over.size() <= base.size()) {
    result = base;
    over.forEach([&](const Text& k, const ValueRef& v) { result.set(k, v); });
  } else {
    result = over;
    base.forEach([&](const Text& k, const ValueRef& v) { result.setIfAbsent(k, v); });
  }
  return result;
}

}  // namespace velk
