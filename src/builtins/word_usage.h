// One line on each word of the language, the 31 builtins and the 12
// keywords: how it is written and what it does. The prompt shows it for the
// word under the cursor (the help key) and completes the words from it.
#pragma once

#include <span>
#include <string_view>

namespace velk {

struct WordUsage {
  std::string_view word;
  bool keyword;               // else a builtin, called with `$`
  std::string_view form;      // `$print$(value [mode])`, `add NAME VALUE`
  std::string_view meaning;
};

std::span<const WordUsage> wordUsages();

}  // namespace velk
