// Text: joining grows a shared buffer at its end without changing what any
// earlier text shows, and keeps hashes and equality right for the results.
#include <gtest/gtest.h>

#include <string>

#include "support/text.h"

namespace velk {
namespace {

// What holds the bytes a text shows: its shared buffer, or the text itself
// while it keeps its bytes to itself.
const void* ownerOf(const Text& t) {
  if (t.rep()->isShared()) return t.rep()->sharedBuffer().get();
  return t.rep();
}

TEST(TextJoin, EarlierTextsKeepWhatTheyShow) {
  Text start("abc");
  Text longer = start.joined("def");
  Text longest = longer.joined("ghi");
  EXPECT_EQ(start.view(), "abc");
  EXPECT_EQ(longer.view(), "abcdef");
  EXPECT_EQ(longest.view(), "abcdefghi");
  EXPECT_EQ(ownerOf(longer), ownerOf(longest));  // grown in place, not copied
}

// A settled join keeps its bytes itself when it is short and alone with its
// buffer; one that shares its buffer, or is long, keeps the buffer's room.
TEST(TextJoin, SettlingDropsTheRoomOfAShortLoneJoin) {
  Text alone = Text("abc").joined("def");
  const uint64_t hash = alone.hash();
  alone.settle();
  EXPECT_FALSE(alone.rep()->isShared());
  EXPECT_EQ(alone.view(), "abcdef");
  EXPECT_EQ(alone.hash(), hash);
  Text first = Text("x").joined("y");
  Text grown = first.joined("z");
  grown.settle();
  EXPECT_EQ(ownerOf(first), ownerOf(grown));
  Text lone = Text(std::string(Text::kShortBytes, 'a')).joined("b");
  lone.settle();
  EXPECT_TRUE(lone.rep()->isShared());
}

TEST(TextJoin, TwoJoinsOnOnePrefixDoNotMeet) {
  Text base = Text("x").joined("y");
  Text a = base.joined("A");
  Text b = base.joined("B");  // the buffer already holds "A" after "xy"
  EXPECT_EQ(a.view(), "xyA");
  EXPECT_EQ(b.view(), "xyB");
  EXPECT_NE(ownerOf(a), ownerOf(b));
  EXPECT_EQ(a.joined("1").view(), "xyA1");
  EXPECT_EQ(b.joined("2").view(), "xyB2");
  EXPECT_EQ(a.view(), "xyA");
}

TEST(TextJoin, JoiningATextToItself) {
  Text s = Text("ab").joined("ab");
  Text twice = s.joined(s.view());
  EXPECT_EQ(twice.view(), "abababab");
  EXPECT_EQ(s.view(), "abab");
}

TEST(TextJoin, EmptySides) {
  Text none;
  EXPECT_NE(none.view().data(), nullptr);  // handed to fwrite and memcpy as is
  EXPECT_TRUE(none.joined("").empty());
  EXPECT_EQ(none.joined("q").view(), "q");
  Text q("q");
  EXPECT_EQ(q.joined("").rep(), q.rep());
}

TEST(TextJoin, BuildingCopiesOnlyLogarithmicallyOften) {
  // A million one-byte joins may move the bytes only when the room runs out,
  // and the room doubles: a few dozen buffers at most, not one per step.
  Text s;
  const void* last = nullptr;
  size_t moves = 0;
  for (int i = 0; i < 1000000; ++i) {
    s = s.joined("x");
    if (ownerOf(s) != last) {
      ++moves;
      last = ownerOf(s);
    }
  }
  EXPECT_EQ(s.size(), 1000000u);
  EXPECT_LE(moves, 40u);
}

TEST(TextJoin, HashAndEqualityOfJoinedTexts) {
  Text built = Text("na").joined("me");
  Text plain("name");
  EXPECT_EQ(built, plain);
  EXPECT_EQ(built.hash(), plain.hash());
  Text prefix = Text("na").joined("me");
  Text more = prefix.joined("s");
  EXPECT_EQ(prefix.hash(), hashBytes("name"));  // not the buffer's longer content
  EXPECT_EQ(more.hash(), hashBytes("names"));
  EXPECT_FALSE(prefix == more);
}

TEST(TextJoin, SlicesAndJoinsShareOneBuffer) {
  // A slice that ends where its buffer ends grows in place; the text it was
  // cut from, and the slice itself, keep what they show.
  Text whole = Text(std::string(100, 'a')).joined(std::string(100, 'b'));
  Text tail = whole.slice(50);
  Text grown = tail.joined("c");
  EXPECT_EQ(ownerOf(grown), ownerOf(whole));
  EXPECT_EQ(grown.view(), std::string(50, 'a') + std::string(100, 'b') + "c");
  EXPECT_EQ(whole.view(), std::string(100, 'a') + std::string(100, 'b'));
  EXPECT_EQ(tail.size(), 150u);
  // A slice that stops short of the buffer's end is copied on joining: the
  // bytes after it are others'.
  Text head = whole.slice(0, 150);
  Text other = head.joined("d");
  EXPECT_NE(ownerOf(other), ownerOf(whole));
  EXPECT_EQ(other.view(), std::string(100, 'a') + std::string(50, 'b') + "d");
  EXPECT_EQ(grown.view().back(), 'c');
  // Slicing a grown text shares the buffer it grew in.
  Text inner = grown.slice(10, 100);
  EXPECT_EQ(inner.view().data(), grown.view().data() + 10);
}

TEST(TextJoin, AGrownBufferNeverMovesUnderItsTexts) {
  // Joins that outgrow the room go to a new buffer; the old one, and every
  // view into it, stays where it was.
  Text s = Text(std::string(40, 'x')).joined("y");
  std::string_view before = s.view();
  Text t = s;
  for (int i = 0; i < 1000; ++i) t = t.joined("z");
  EXPECT_EQ(before.data(), s.view().data());
  EXPECT_EQ(s.view(), std::string(40, 'x') + "y");
  EXPECT_EQ(t.size(), 1041u);
}

// Stands for a parsed form kept beside a text.
class Marker : public TextAttachment {};

TEST(TextAppend, AnUnsharedTextGrowsWhereItIsAndForgetsItsHashAndForms) {
  Text s = Text("na").joined("m");  // with room to grow
  EXPECT_EQ(s.hash(), hashBytes("nam"));
  s.rep()->attachment = std::make_unique<Marker>();
  const TextRep* before = s.rep();
  s.append("e");
  EXPECT_EQ(s.rep(), before);  // the same representation, grown
  EXPECT_EQ(s.view(), "name");
  EXPECT_EQ(s.hash(), hashBytes("name"));
  EXPECT_EQ(s.rep()->attachment, nullptr);  // parsed from the shorter bytes
  s.append(s.view());
  EXPECT_EQ(s.view(), "namename");
}

TEST(TextAppend, ASharedTextLeavesItsOtherHoldersAlone) {
  Text s = Text("ab").joined("c");
  Text copy = s;
  copy.rep()->attachment = std::make_unique<Marker>();
  s.append("d");
  EXPECT_NE(s.rep(), copy.rep());
  EXPECT_EQ(copy.view(), "abc");
  EXPECT_NE(copy.rep()->attachment, nullptr);
  EXPECT_EQ(s.view(), "abcd");
  Text none;
  none.append("q");
  EXPECT_EQ(none.view(), "q");
  const TextRep* made = none.rep();
  none.append("r");  // the bytes made for the first append have room
  EXPECT_EQ(none.rep(), made);
  Text held = none;
  none.append(none.view());
  EXPECT_EQ(held.view(), "qr");
  EXPECT_EQ(none.view(), "qrqr");
  Text full(std::string(8, 'x'));  // no room kept: a fresh buffer
  full.append("y");
  EXPECT_EQ(full.view(), "xxxxxxxxy");
}

}  // namespace
}  // namespace velk
