// The variable map: exact byte-string keys, shared Values, copies that are
// independent in their bindings, and overlays of two maps.
#include <map>
#include <string>
#include <vector>

#include "test_support.h"
#include "value/varmap.h"

namespace velk {
namespace {

std::map<std::string, Value*> contents(const VarMap& m) {
  std::map<std::string, Value*> out;
  m.forEach([&](const Text& k, const ValueRef& v) {
    EXPECT_TRUE(out.emplace(k.str(), v.get()).second) << "key visited twice: " << k.str();
  });
  return out;
}

TEST(VarMap, BindsAndFindsExactKeys) {
  VarMap m;
  EXPECT_EQ(m.find(Text("a")), nullptr);
  // Keys differing in case, a trailing blank or a zero byte are all distinct.
  const std::string keys[] = {"a", "A", "a ", std::string("a\0", 2), ""};
  std::vector<ValueRef> values;
  for (const std::string& k : keys) {
    values.push_back(newValue(Value::integer(static_cast<int64_t>(values.size()))));
    m.set(Text(k), values.back());
  }
  EXPECT_EQ(m.size(), 5u);
  for (size_t i = 0; i < values.size(); ++i) {
    EXPECT_EQ(m.find(Text(keys[i])), values[i].get()) << i;
    ASSERT_NE(m.findRef(Text(keys[i])), nullptr);
    EXPECT_EQ(*m.findRef(Text(keys[i])), values[i]);
  }
  EXPECT_EQ(m.find(Text("b")), nullptr);
}

TEST(VarMap, AFittedHeadKeepsItsBindingsAndStillGrows) {
  for (int bound : {1, 2, 3, 5, 7}) {
    VarMap m;
    for (int i = 0; i < bound; ++i) m.set(Text("k" + std::to_string(i)), newValue(Value::integer(i)));
    m.fitHead();
    VarMap shared = m;  // a write to a shared fitted head copies it
    for (int i = bound; i < 12; ++i) m.set(Text("k" + std::to_string(i)), newValue(Value::integer(i)));
    EXPECT_EQ(m.size(), 12u) << bound;
    EXPECT_EQ(shared.size(), static_cast<size_t>(bound));
    for (int i = 0; i < 12; ++i) EXPECT_EQ(m.find(Text("k" + std::to_string(i)))->intValue, i) << bound << " " << i;
  }
}

TEST(VarMap, SetReplacesSetIfAbsentKeeps) {
  VarMap m;
  ValueRef first = newValue(Value::integer(1));
  ValueRef second = newValue(Value::integer(2));
  m.set(Text("x"), first);
  m.setIfAbsent(Text("x"), second);
  EXPECT_EQ(m.find(Text("x")), first.get());
  m.set(Text("x"), second);
  EXPECT_EQ(m.find(Text("x")), second.get());
  EXPECT_EQ(m.size(), 1u);
  m.set(Text("x"), second);  // the same binding again
  EXPECT_EQ(m.size(), 1u);
  m.setIfAbsent(Text("y"), first);
  EXPECT_EQ(m.find(Text("y")), first.get());
  EXPECT_EQ(m.size(), 2u);
  m.clear();
  EXPECT_TRUE(m.empty());
  EXPECT_EQ(m.find(Text("x")), nullptr);
  EXPECT_EQ(second->intValue, 2);  // clearing drops references only
}

TEST(VarMap, CopiesShareValuesButNotBindings) {
  VarMap original;
  ValueRef x = newValue(Value::integer(1));
  original.set(Text("x"), x);
  VarMap copy = original;
  EXPECT_TRUE(copy.sameAs(original));
  EXPECT_EQ(copy.find(Text("x")), x.get());

  copy.set(Text("y"), newValue(Value::integer(2)));
  copy.set(Text("x"), newValue(Value::integer(10)));
  EXPECT_FALSE(copy.sameAs(original));
  EXPECT_EQ(original.size(), 1u);
  EXPECT_EQ(original.find(Text("y")), nullptr);
  EXPECT_EQ(original.find(Text("x")), x.get());

  // A Value changed in place is seen through every map that holds it.
  VarMap other = original;
  *other.find(Text("x")) = Value::integer(42);
  EXPECT_EQ(original.find(Text("x"))->intValue, 42);
  original.set(Text("z"), newValue());
  EXPECT_EQ(other.find(Text("z")), nullptr);

  // A local added to a full map that another shares goes into a head of its own.
  VarMap full;
  for (int i = 0; i < 8; ++i) full.set(Text("f" + std::to_string(i)), newValue(Value::integer(i)));
  VarMap body = full;
  body.setNewLocal(Text("local"), newValue());
  body.set(Text("f0"), newValue(Value::integer(99)));
  EXPECT_EQ(body.size(), 9u);
  EXPECT_EQ(contents(body).size(), 9u);
  EXPECT_EQ(contents(full).size(), 8u);
  EXPECT_EQ(full.find(Text("local")), nullptr);
  EXPECT_EQ(full.find(Text("f0"))->intValue, 0);
  EXPECT_EQ(body.find(Text("f0"))->intValue, 99);
}

TEST(VarMap, ManyKeysStayReachableThroughCopies) {
  constexpr int kCount = 20000;
  VarMap m;
  std::vector<ValueRef> values;
  for (int i = 0; i < kCount; ++i) {
    values.push_back(newValue(Value::integer(i)));
    m.set(Text("v" + std::to_string(i)), values.back());
  }
  EXPECT_EQ(m.size(), static_cast<size_t>(kCount));
  VarMap copy = m;
  for (int i = 0; i < kCount; i += 2) copy.set(Text("v" + std::to_string(i)), newValue(Value::integer(-i)));
  for (int i = 0; i < kCount; ++i) {
    std::string key = "v" + std::to_string(i);
    ASSERT_EQ(m.find(Text(key)), values[static_cast<size_t>(i)].get()) << key;
    Value* c = copy.find(Text(key));
    ASSERT_NE(c, nullptr) << key;
    EXPECT_EQ(c->intValue, i % 2 == 0 ? -i : i) << key;
  }
  EXPECT_EQ(copy.size(), static_cast<size_t>(kCount));
  EXPECT_EQ(contents(m).size(), static_cast<size_t>(kCount));
  EXPECT_EQ(m.find(Text("v" + std::to_string(kCount))), nullptr);
}

TEST(VarMap, OverlayLetsTheUpperMapWin) {
  ValueRef a = newValue(Value::integer(1)), b = newValue(Value::integer(2));
  ValueRef b2 = newValue(Value::integer(20)), c = newValue(Value::integer(30));
  VarMap base, over;
  base.set(Text("a"), a);
  base.set(Text("b"), b);
  over.set(Text("b"), b2);
  over.set(Text("c"), c);
  VarMap r = VarMap::overlay(base, over);
  EXPECT_EQ(contents(r), (std::map<std::string, Value*>{{"a", a.get()}, {"b", b2.get()}, {"c", c.get()}}));
  // Inputs are untouched.
  EXPECT_EQ(base.find(Text("b")), b.get());
  EXPECT_EQ(base.find(Text("c")), nullptr);
  EXPECT_EQ(over.find(Text("a")), nullptr);

  // The same when the upper map is the larger one.
  VarMap big;
  for (int i = 0; i < 10; ++i) big.set(Text("k" + std::to_string(i)), newValue(Value::integer(i)));
  big.set(Text("a"), b2);
  VarMap r2 = VarMap::overlay(base, big);
  EXPECT_EQ(r2.size(), 12u);
  EXPECT_EQ(r2.find(Text("a")), b2.get());
  EXPECT_EQ(r2.find(Text("b")), b.get());
  EXPECT_EQ(base.size(), 2u);
  EXPECT_EQ(big.size(), 11u);

  EXPECT_EQ(contents(VarMap::overlay(base, VarMap())), contents(base));
  EXPECT_EQ(contents(VarMap::overlay(VarMap(), over)), contents(over));
  EXPECT_EQ(contents(VarMap::overlay(base, base)), contents(base));
}

// Two maps grown from one share what neither changed since, and an overlay
// skips what they share: checked against overlaying entry by entry, with the
// conflict flag, over random bindings into both copies (front layers full and
// flattened, frames over frames, names rebound on one side, new names on
// either); lookups, walks and sizes are checked against a plain map.
TEST(VarMap, OverlayOfMapsFromOneMatchesEntryByEntry) {
  std::vector<ValueRef> pool;
  for (int i = 0; i < 8; ++i) pool.push_back(newValue(Value::integer(i)));
  unsigned seed = 1;
  auto next = [&seed](unsigned n) { return (seed = seed * 1103515245u + 12345u) / 65536u % n; };
  for (int round = 0; round < 300; ++round) {
    VarMap common;
    for (unsigned i = 0, n = next(60); i < n; ++i) common.set(Text("v" + std::to_string(next(80))), pool[next(8)]);
    VarMap sides[2] = {common, common};
    // Some sides are frames over frames (calls), bound into past their depth.
    std::map<std::string, Value*> model[2] = {contents(common), contents(common)};
    for (int side = 0; side < 2; ++side)
      for (unsigned i = 0, n = next(round % 3 == 0 ? 3 : 30); i < n; ++i) {
        Text name("v" + std::to_string(next(100)));
        const ValueRef& v = pool[next(8)];
        if (next(4) == 0)
          sides[side] = VarMap::with(sides[side], name, v);
        else
          sides[side].set(name, v);
        model[side][name.str()] = v.get();
      }
    for (int side = 0; side < 2; ++side) {
      ASSERT_EQ(contents(sides[side]), model[side]) << round;
      ASSERT_EQ(sides[side].size(), model[side].size()) << round;
      for (auto& [k, v] : model[side]) ASSERT_EQ(sides[side].find(Text(k)), v) << round;
    }
    for (int upper = 0; upper < 2; ++upper) {
      const VarMap &base = sides[1 - upper], &over = sides[upper];
      std::map<std::string, Value*> expect = contents(base);
      bool conflicts = false;
      for (auto& [k, v] : contents(over)) {
        auto it = expect.find(k);
        conflicts = conflicts || (it != expect.end() && it->second != v);
        expect[k] = v;
      }
      bool got = false;
      ASSERT_EQ(contents(VarMap::overlay(base, over, &got)), expect) << round;
      EXPECT_EQ(got, conflicts) << round;
    }
  }
}

// The newest bindings sit in a small front layer that shadows the trie and is
// flattened into it when full; every step must keep copies independent, visit
// each name once and count each name once.
TEST(VarMap, FrontLayerShadowsAndFlattensWithoutLeaking) {
  VarMap base;
  std::vector<ValueRef> olds;
  for (int i = 0; i < 20; ++i) {
    olds.push_back(newValue(Value::integer(i)));
    base.set(Text("k" + std::to_string(i)), olds.back());
  }
  for (int round = 0; round < 3; ++round) {
    VarMap copy = base;
    // Rebind names that live in the trie and in the front layer, then add
    // new ones, more than the front layer holds, so it flattens midway.
    for (int i = 0; i < 20; i += 3) copy.set(Text("k" + std::to_string(i)), newValue(Value::integer(100 + i)));
    for (int i = 0; i < 12; ++i) copy.set(Text("n" + std::to_string(i)), newValue(Value::integer(-i)));
    copy.setIfAbsent(Text("k1"), newValue(Value::integer(999)));
    EXPECT_EQ(copy.size(), 32u);
    EXPECT_EQ(base.size(), round == 0 ? 20u : 32u);
    auto seen = contents(copy);
    EXPECT_EQ(seen.size(), 32u);
    for (int i = 0; i < 20; ++i) {
      std::string k = "k" + std::to_string(i);
      EXPECT_EQ(base.find(Text(k)), olds[static_cast<size_t>(i)].get()) << k;
      EXPECT_EQ(copy.find(Text(k))->intValue, i % 3 == 0 ? 100 + i : i) << k;
      EXPECT_EQ(seen[k], copy.find(Text(k))) << k;
    }
    if (round == 0) EXPECT_EQ(base.find(Text("n0")), nullptr);
    else EXPECT_NE(base.find(Text("n0")), copy.find(Text("n0")));
    base = copy;  // the next round starts from a map whose layers are mixed
    olds.clear();
    for (int i = 0; i < 20; ++i) olds.push_back(*base.findRef(Text("k" + std::to_string(i))));
  }
}

// A frame's front layer is wider than a plain map's: bound past it, the
// frame moves its bindings into a trie of its own, and every copy taken on
// the way (a wide head copied, or framed over when full) keeps what it had.
TEST(VarMap, FramesHoldTheirBindingsPastEitherFrontSize) {
  VarMap base;
  base.set(Text("b"), newValue(Value::integer(-1)));
  VarMap frame = VarMap::with(base, Text("a"), newValue(Value::integer(0)));
  std::vector<VarMap> kept;
  for (int i = 0; i < 40; ++i) {
    frame.setNewLocal(Text("l" + std::to_string(i)), newValue(Value::integer(i)));
    kept.push_back(frame);
  }
  for (size_t i = 0; i < kept.size(); ++i) {
    EXPECT_EQ(kept[i].size(), i + 3);
    EXPECT_EQ(kept[i].find(Text("b"))->intValue, -1);
    for (size_t j = 0; j < kept.size(); ++j) {
      const Value* v = kept[i].find(Text("l" + std::to_string(j)));
      EXPECT_EQ(v ? v->intValue : -1, j <= i ? static_cast<int64_t>(j) : -1) << i << " " << j;
    }
  }
}

// A frame binds its names without looking for them below: its size still
// counts a shadowed name once, before and after more names come.
const Text kNames[] = {Text("a"), Text("b"), Text("c"), Text("d")};

TEST(VarMap, AFrameOverNamesItShadowsCountsEachOnce) {
  VarMap base;
  for (const char* n : {"a", "b", "c"}) base.set(Text(n), newValue());
  VarMap::Binding args[] = {{&kNames[0], newValue()}, {&kNames[1], newValue()}, {&kNames[3], newValue()}};
  VarMap frame = VarMap::frame(base, args);
  VarMap over = VarMap::with(frame, kNames[2], newValue());
  EXPECT_FALSE(frame.empty());
  frame.setNewLocal(Text("e"), newValue());
  EXPECT_EQ(over.size(), 4u);  // a, b, c, d
  EXPECT_EQ(frame.size(), 5u);
  frame.set(Text("f"), newValue());
  EXPECT_EQ(frame.size(), 6u);
  EXPECT_EQ(base.size(), 3u);
}

// Heads come from a free list: many copies alive at once, each with its own
// binding (more than one chunk of heads), and heads dropped and made again in
// between, must never share or lose a binding.
TEST(VarMap, ManyHeadsAliveAtOnceStayApart) {
  VarMap base;
  base.set(Text("shared"), newValue(Value::integer(-1)));
  std::vector<VarMap> maps;
  for (int i = 0; i < 2000; ++i) {
    VarMap m = base;
    m.set(Text("own"), newValue(Value::integer(i)));
    maps.push_back(m);
    if (i % 3 == 0) {
      VarMap dropped = base;  // made and dropped: its head goes back to the list
      dropped.set(Text("own"), newValue(Value::integer(-i)));
    }
  }
  for (int i = 0; i < 2000; i += 2) maps[static_cast<size_t>(i)] = VarMap();
  for (int i = 0; i < 1000; ++i) {
    VarMap m = base;
    m.set(Text("later"), newValue(Value::integer(i)));
    maps[static_cast<size_t>(2 * i)] = m;
  }
  for (int i = 0; i < 2000; ++i) {
    const VarMap& m = maps[static_cast<size_t>(i)];
    EXPECT_EQ(m.find(Text("shared"))->intValue, -1) << i;
    if (i % 2 == 0) {
      EXPECT_EQ(m.find(Text("own")), nullptr) << i;
      EXPECT_EQ(m.find(Text("later"))->intValue, i / 2) << i;
    } else {
      EXPECT_EQ(m.find(Text("own"))->intValue, i) << i;
      EXPECT_EQ(m.find(Text("later")), nullptr) << i;
    }
  }
  EXPECT_EQ(base.size(), 1u);
}

// A remembered lookup answers as a fresh one would after every kind of change:
// a binding added or replaced in place, a copy written, the front layer
// flattened into the trie, a map dropped and another made in its place.
TEST(VarMap, RememberedLookupsFollowEveryChange) {
  const Text key("x");
  LookupMemo memo;
  VarMap m;
  EXPECT_EQ(m.find(key, memo), nullptr);
  m.set(Text("y"), newValue());
  EXPECT_EQ(m.find(key, memo), nullptr);
  EXPECT_EQ(m.find(key, memo), nullptr);  // answered from the memo
  ValueRef first = newValue(Value::integer(1));
  m.set(key, first);  // the only handle: changed in place
  EXPECT_EQ(m.find(key, memo), first.get());
  EXPECT_EQ(m.find(key, memo), first.get());
  ValueRef second = newValue(Value::integer(2));
  m.set(key, second);
  EXPECT_EQ(m.find(key, memo), second.get());

  VarMap copy = m;
  EXPECT_EQ(copy.find(key, memo), second.get());
  ValueRef third = newValue(Value::integer(3));
  copy.set(key, third);  // shared: copied first
  EXPECT_EQ(copy.find(key, memo), third.get());
  EXPECT_EQ(m.find(key, memo), second.get());
  EXPECT_EQ(copy.find(key, memo), third.get());

  // Ten more names move the front layer, x's binding among it, into the trie.
  EXPECT_EQ(m.find(key, memo), second.get());
  for (int i = 0; i < 10; ++i) m.set(Text("n" + std::to_string(i)), newValue());
  EXPECT_EQ(m.find(key, memo), second.get());
  ASSERT_NE(m.findRef(key, memo), nullptr);
  EXPECT_EQ(m.findRef(key, memo), m.findRef(key));

  // Maps made and dropped one after the other, likely at one address.
  for (int round = 0; round < 50; ++round) {
    VarMap fresh;
    ValueRef v = newValue(Value::integer(round));
    if (round % 2) fresh.set(key, v);
    fresh.set(Text("z"), newValue());
    for (int again = 0; again < 2; ++again)
      EXPECT_EQ(fresh.find(key, memo), round % 2 ? v.get() : nullptr) << round;
  }
  EXPECT_EQ(m.find(key, memo), second.get());
}

// Whether a map tells that a name bound in it, or in the map a frame lies
// over, could hide a literal, call, group or block; a map made apart is not.
TEST(VarMap, KnowsWhetherItBindsANameSpeltLikeATerm) {
  // A number, a quoted string (a leading blank or sign before a digit, or a
  // dot anywhere: `inf.5` reads as a float), or a call, group or block.
  for (const char* name : {"1", "-1", "+2", "\"a\"", "'a'", " 1", "\t2", "a.b", "inf.5", "0x", "$f", "(a b)", "{x}"}) {
    VarMap caller, set, apart;
    caller.set(Text("f"), newValue());
    set = caller;
    set.set(Text(name), newValue());
    VarMap frame = VarMap::with(caller, Text(name), newValue());
    VarMap over = VarMap::with(set, Text("g"), newValue());
    apart.set(Text("x"), newValue());
    EXPECT_TRUE(set.mayHideTerms()) << name;
    EXPECT_TRUE(frame.mayHideTerms()) << name;
    EXPECT_TRUE(over.mayHideTerms()) << name;
    EXPECT_FALSE(caller.mayHideTerms()) << name;
    EXPECT_FALSE(apart.mayHideTerms()) << name;
  }
  for (const char* name : {"x", "arg0", "element", "a1", "_", "a$", "a(b)", "-x", "+", "inf"}) {
    VarMap m;
    m.set(Text(name), newValue());
    EXPECT_FALSE(VarMap::with(m, Text("y"), newValue()).mayHideTerms()) << name;
  }
}

}  // namespace
}  // namespace velk
