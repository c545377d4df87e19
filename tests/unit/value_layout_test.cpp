// The compact Value: the packed float keeps every bit of its long double, the
// side block of rarely held fields is shared only until written, and long
// chains of Values are destroyed without deep recursion.
#include <cmath>
#include <limits>

#include "test_support.h"

namespace velk {
namespace {

using testing::listOf;
using testing::ofType;
using testing::str;

TEST(ValueLayout, PackedFloatKeepsEveryBit) {
  using L = std::numeric_limits<long double>;
  const long double samples[] = {1.0L / 3, -2.5L, L::max(), L::lowest(), L::min(), L::denorm_min(),
                                 L::epsilon(), 1e-4000L, L::infinity(), -L::infinity(), 0.0L};
  for (long double x : samples) {
    Value v = Value::floating(x);
    Value copy = v;
    EXPECT_TRUE(static_cast<long double>(copy.floatValue) == x) << static_cast<double>(x);
  }
  Value negZero = Value::floating(-0.0L);
  EXPECT_TRUE(std::signbit(static_cast<long double>(negZero.floatValue)));
  EXPECT_TRUE(std::isnan(static_cast<long double>(Value::floating(L::quiet_NaN()).floatValue)));
  // Assignment and swapping carry the float along with everything else.
  Value a = Value::floating(1.0L / 7);
  Value b = Value::integer(3);
  a.swapContent(b);
  EXPECT_EQ(a.intValue, 3);
  EXPECT_TRUE(static_cast<long double>(b.floatValue) == 1.0L / 7);
}

TEST(ValueLayout, RareFieldsAreCopiedOnWrite) {
  Value f = ofType(kFunc);
  f.setArgNames(NameList({Text("x"), Text("y")}));
  f.setBytes(Bytes({1, 2}));
  Value before = f;  // shares the side block
  f.changeMembers().set(Text("m"), newValue(Value::integer(1)));
  f.setBytes(Bytes({9}));
  EXPECT_EQ(before.members().size(), 0u);
  EXPECT_EQ(before.bytes().get(), (std::vector<uint8_t>{1, 2}));
  EXPECT_EQ(before.argNames().size(), 2u);
  EXPECT_EQ(f.argNames().size(), 2u);  // the fields not written are kept
  EXPECT_EQ(f.members().size(), 1u);
  // Writing one copy's side block leaves every other copy's alone, whichever
  // of them writes.
  Value after = f;
  before.setArgNames(NameList());
  EXPECT_EQ(f.argNames().size(), 2u);
  EXPECT_EQ(after.argNames().size(), 2u);
  EXPECT_EQ(after.bytes().get(), (std::vector<uint8_t>{9}));
}

TEST(ValueLayout, RareFieldsSurviveConversions) {
  Value s = ofType(kScaffold);
  s.changeMembers().set(Text("k"), newValue(str("v")));
  s.setBytes(Bytes({7}));
  Value there = convertTo(convertTo(convertTo(s, "float"), "string"), "integer");
  Value back = convertTo(there, "list");
  EXPECT_EQ(back.members().size(), 1u);
  EXPECT_EQ(back.bytes().get(), (std::vector<uint8_t>{7}));
  // Only a conversion to "bytes" replaces the bytes.
  EXPECT_TRUE(convertTo(back, "bytes").bytes().isEmpty());
  EXPECT_EQ(convertTo(back, "bytes").members().size(), 1u);
}

TEST(ValueLayout, LongChainsDestroyWithoutRecursion) {
  // Each link holds the next through its members, the side block: those
  // links must be queued like list elements, or the stack runs out.
  ValueRef head = newValue(ofType(kScaffold));
  for (int i = 0; i < 1000000; ++i) {
    Value link = ofType(kScaffold);
    link.changeMembers().set(Text("next"), head);
    head = newValue(std::move(link));
  }
  head.reset();
  ValueRef list = newValue(listOf({}));
  for (int i = 0; i < 1000000; ++i) {
    Value next = Value::list();
    next.elements.push(list);
    next.elements.push(Value::integer(i));
    list = newValue(std::move(next));
  }
  list.reset();
  SUCCEED();
}

}  // namespace
}  // namespace velk
