// Compact list cells against boxed Values: one random sequence of list
// operations run on lists whose elements stay compact until needed and on
// lists whose every element is a Value held elsewhere too, comparing all that
// a program can see (display forms, `where`, which Values are one).
#include <random>

#include "test_support.h"

namespace velk {
namespace {

using testing::str;

struct World {
  ValueRef lists[3] = {newValue(Value::list()), newValue(Value::list()), newValue(Value::list())};
  ValueRef held[3];           // variables bound to elements, as `index` binds them
  std::vector<ValueRef> pins;  // when set, every element is held here too: never compact
  bool boxed;
  explicit World(bool b) : boxed(b) {}
  void pinAll() {
    if (boxed)
      for (const ValueRef& l : lists)
        for (size_t i = 0; i < l->elements.size(); ++i) pins.push_back(l->elements.ref(i));
  }
  std::string seen() const {
    std::string out;
    try {
      for (const ValueRef& l : lists) out += asText(*l, 1 << 14).str() + "|";
    } catch (...) {
      out += "too long|";
    }
    for (const ValueRef& h : held) out += (h ? asText(*h).str() : "-") + "|";
    for (const ValueRef& a : held)
      for (const ValueRef& b : held) out += a && a == b ? '=' : '.';
    return out;
  }
};

Value someValue(std::mt19937& rng, const World& w) {
  switch (rng() % 5) {
    case 0: return Value::integer(static_cast<int64_t>(rng() % 7) - 3);
    case 1: return str(std::string(rng() % 3, 'a' + static_cast<char>(rng() % 3)));
    case 2: return Value::floating(0.5L);
    case 3: return Value::integer(INT64_MAX - rng() % 2);  // too wide for a cell
    default: return *w.lists[rng() % 3];                     // a list, sharing its elements
  }
}

TEST(ListCells, CompactAndBoxedListsBehaveAlike) {
  for (unsigned seed = 1; seed <= 300; ++seed) {
    World worlds[2] = {World(false), World(true)};
    std::mt19937 rngs[2] = {std::mt19937(seed), std::mt19937(seed)};
    for (int step = 0; step < 60; ++step) {
      std::string seen[2];
      for (int k = 0; k < 2; ++k) {
        World& w = worlds[k];
        std::mt19937& rng = rngs[k];
        Value& l = *w.lists[rng() % 3];
        const size_t n = l.elements.size(), pos = n ? rng() % n : 0;
        const unsigned op = rng() % 7, h = rng() % 3;
        Value v = someValue(rng, w);
        if (op <= 1) l.elements.push(std::move(v));
        else if (op == 2 && n) l.elements.erase(pos);
        else if (op == 3) l = *w.lists[h];
        else if (op == 4 && n) w.held[h] = l.elements.ref(pos);
        else if (op == 5 && w.held[h] && v.typeName != kList) *w.held[h] = std::move(v);
        else if (op == 6) try {
            seen[k] = std::to_string(firstEqual(l.elements, v));
          } catch (...) {
            seen[k] = "fails";
          }
        for (size_t i = 0; op == 6 && i < n; ++i) w.held[h] = l.elements.ref(i);  // as `each` walks
        w.pinAll();
        seen[k] += w.seen();
      }
      ASSERT_EQ(seen[0], seen[1]) << "seed " << seed << " step " << step;
    }
  }
}

}  // namespace
}  // namespace velk
