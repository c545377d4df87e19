// Text slices: long stretches share their owner's bytes, short or lopsided
// ones are copies, and either way a slice reads, hashes and compares as the
// copy it stands for. The splitter's tokens and the cut-out group bodies are
// slices, which keeps taking nested text apart linear in memory.
#include <memory>
#include <string>

#include "interp/parse_cache.h"
#include "parse/splitter.h"
#include "test_support.h"

namespace velk {
namespace {

std::string repeat(std::string_view piece, size_t n) {
  std::string s;
  for (size_t i = 0; i < n; ++i) s += piece;
  return s;
}

TEST(TextSlice, ReadsAsTheCopyItStandsFor) {
  Text whole(repeat("abcdefgh", 64));  // 512 bytes
  for (size_t pos : {0, 1, 100, 300}) {
    for (size_t n : {0, 1, 63, 64, 200, 512}) {
      Text s = whole.slice(pos, n);
      Text c = whole.sub(pos, n);
      EXPECT_EQ(s.view(), c.view()) << pos << " " << n;
      EXPECT_EQ(s.size(), c.size());
      EXPECT_EQ(s.empty(), c.empty());
      EXPECT_EQ(s.hash(), c.hash());
      EXPECT_TRUE(s == c);
    }
  }
}

TEST(TextSlice, LongStretchesShareShortOnesCopy) {
  Text whole(repeat("x", 1000));
  Text longPart = whole.slice(10, 900);
  ASSERT_NE(longPart.rep(), nullptr);
  EXPECT_TRUE(longPart.rep()->isShared());
  EXPECT_EQ(longPart.view().data(), whole.view().data() + 10);

  // A few bytes are copied: cheaper than a slice, and they must not keep
  // the whole text alive.
  EXPECT_FALSE(whole.slice(5, 10).rep()->isShared());
  // A long stretch of a much longer text is copied too, for the same reason.
  Text huge(repeat("y", 100000));
  EXPECT_FALSE(huge.slice(0, 1000).rep()->isShared());
  // The whole text shares its bytes but is a record of its own (a parsed
  // form of the text may hold it without holding the text).
  EXPECT_NE(whole.slice(0).rep(), whole.rep());
  EXPECT_EQ(whole.slice(0).view().data(), whole.view().data());
  EXPECT_TRUE(whole.slice(1000).empty());
}

TEST(TextSlice, SliceOfASliceSharesTheOneBuffer) {
  Text whole(repeat("z", 1000));
  Text a = whole.slice(1, 998);
  Text b = a.slice(1, 996);
  ASSERT_TRUE(b.rep()->isShared());
  EXPECT_EQ(&*b.rep()->sharedBuffer(), &*whole.rep()->sharedBuffer());
  EXPECT_EQ(b.view().data(), whole.view().data() + 2);
  // The owner outlives every handle to it but the slices'.
  std::string expected(b.view());
  whole = Text();
  a = Text();
  EXPECT_EQ(b.view(), expected);
}

TEST(TextSlice, SplitterTokensShareTheSourceBytes) {
  std::string group = "(" + repeat("a + ", 50) + "1)";
  Text source("x = " + group + "\ny = 2");
  StatementList list = splitStatements(source);
  ASSERT_EQ(list.statements.size(), 2u);
  const Text& token = list.statements[0][2];
  EXPECT_EQ(token.view(), group);
  EXPECT_EQ(token.view().data(), source.view().data() + 4);
  // Indentation after a line end is no part of the next token.
  StatementList indented = splitStatements(Text("a\n   " + repeat("b", 80) + " c"));
  EXPECT_EQ(indented.statements[1][0].view(), repeat("b", 80));
  EXPECT_EQ(indented.statements[1][1].view(), "c");
}

TEST(TextSlice, NestedGroupsAreReadInsideTheirOwner) {
  // Each level's tokens are slices of the outermost text, not copies of the
  // level around them.
  std::string nested = repeat("(", 40) + repeat("a ", 40) + repeat(")", 40);
  Text outer(nested);
  Text level = outer;
  for (int i = 0; i < 10; ++i) {
    ExpressionFormRef tokens = expressionForm(level);
    ASSERT_EQ(tokens->tokens.size(), 1u);
    level = tokens->tokens[0];
    EXPECT_EQ(level.view(), std::string_view(nested).substr(i + 1, nested.size() - 2 * (i + 1)));
    EXPECT_EQ(level.view().data(), outer.view().data() + i + 1);
  }
}

TEST(TextSlice, ParsedFormsOfASliceAreItsOwn) {
  // A slice carries its own parsed forms: the owner's say nothing about it.
  Text whole("(" + repeat("1 + ", 30) + "1)");
  Text inner = whole.slice(1, whole.size() - 2);
  ASSERT_TRUE(inner.rep()->isShared());
  EXPECT_EQ(expressionForm(inner)->tokens.size(), 61u);
  EXPECT_EQ(expressionForm(whole)->tokens.size(), 61u);
  EXPECT_EQ(expressionForm(inner)->tokens.front().view(), "1");
}

// Something kept beside a text that holds a slice of it, as parsed forms do,
// and notes when it goes.
class SliceHolder : public TextAttachment {
 public:
  SliceHolder(Text slice, bool& gone) : slice_(std::move(slice)), gone_(gone) {}
  ~SliceHolder() override { gone_ = true; }

 private:
  Text slice_;
  bool& gone_;
};

TEST(TextSlice, AFormHoldingASliceOfItsTextDoesNotKeepTheTextAlive) {
  bool gone = false;
  {
    Text whole(repeat("w", 500));
    Text inner = whole.slice(1, 498);
    ASSERT_TRUE(inner.rep()->isShared());
    whole.rep()->attachment = std::make_unique<SliceHolder>(inner, gone);
    // The whole text as its own slice: the one a split of it yields.
    inner.rep()->attachment = std::make_unique<SliceHolder>(inner.slice(0), gone);
  }
  EXPECT_TRUE(gone);
}

}  // namespace
}  // namespace velk
