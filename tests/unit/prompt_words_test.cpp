// The prompt's words: every builtin has its line, and Tab offers what fits
// where the cursor stands.
#include "console/prompt_words.h"

#include <set>

#include "builtins/word_usage.h"
#include "test_support.h"

namespace velk {
namespace {

TEST(PromptWordsTest, EveryBuiltinAndKeywordHasItsLine) {
  BuiltinTable table;
  registerBuiltins(table);
  std::set<std::string> builtins, keywords;
  for (const WordUsage& w : wordUsages()) (w.keyword ? keywords : builtins).insert(std::string(w.word));
  for (const auto& [name, handler] : table.entries()) EXPECT_TRUE(builtins.count(name)) << name;
  EXPECT_EQ(builtins.size(), table.size());
  EXPECT_EQ(keywords.size(), 12u);
}

TEST(PromptWordsTest, CompletesWhatFitsWhereTheCursorStands) {
  prompt_words::learn({{"print", false, true, ""}, {"input", false, false, ""}, {"list", false, true, ""},
                       {"list", true, false, ""}, {"until", true, false, ""}});
  const NamesInScope names = [] {
    return std::vector<NameInScope>{{"listing", false}, {"printer", true}, {"uncle", false}};
  };
  const struct {
    const char* before;
    std::vector<std::string> candidates;
  } cases[] = {
      {"$pri", {"print$(", "printer"}},                   // builtins and functions after $
      {"$in", {"input"}},                                 // a builtin without arguments
      {"li", {"list ", "listing"}},                       // keywords and variables where a statement starts
      {"x = { y = 1\n  un", {"uncle", "until "}},         // ... inside a block too
      {"x = (li", {"listing"}},                           // only variables inside an expression
      {"$print$(\"a\" li", {"listing"}},
      {"s = \"no such file here", {}},                    // a file name inside quotes
  };
  for (const auto& c : cases)
    EXPECT_EQ(prompt_words::complete(c.before, names, true).candidates, c.candidates) << c.before;
  EXPECT_EQ(prompt_words::sharedStart({"caf\xc3\xa9", "caf\xc3\xa8"}), "caf");  // never half a character
}

}  // namespace
}  // namespace velk
