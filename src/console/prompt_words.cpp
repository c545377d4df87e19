// Completing and explaining words at the prompt.
#include "console/prompt_words.h"

#include <algorithm>
#include <filesystem>
#include <set>

#include "parse/splitter.h"

namespace velk::prompt_words {
namespace {

std::vector<Word>& vocabulary() {
  static std::vector<Word> words;
  return words;
}

// The bytes that can stand in a name: everything but blanks, line ends,
// group delimiters and the `$` of a call.
bool inName(char c) {
  return c != ' ' && c != '\t' && c != '\n' && c != '\r' && c != '(' && c != ')' && c != '{' && c != '}' &&
         c != '"' && c != '\'' && c != '$';
}

size_t nameStart(std::string_view text) {
  size_t start = text.size();
  while (start > 0 && inName(text[start - 1])) --start;
  return start;
}

// Whether a statement starts at `at`: only blanks stand between it and the
// start of the text, a line end or the `{` of a block.
bool statementStartsAt(std::string_view text, size_t at) {
  while (at > 0 && (text[at - 1] == ' ' || text[at - 1] == '\t')) --at;
  return at == 0 || text[at - 1] == '\n' || text[at - 1] == '{';
}

void addFileNames(std::string_view path, Completion& out) {
  namespace fs = std::filesystem;
  const size_t slash = path.rfind('/');
  const std::string folder(slash == std::string_view::npos ? std::string_view() : path.substr(0, slash + 1));
  const std::string_view start = path.substr(folder.size());
  std::error_code ec;
  fs::directory_iterator it(folder.empty() ? fs::path(".") : fs::path(folder), ec);
  for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
    std::string name = it->path().filename().string();
    if (!name.starts_with(start) || (name.front() == '.' && !start.starts_with('.'))) continue;
    std::error_code kind;
    if (it->is_directory(kind)) name += '/';
    out.candidates.push_back(folder + name);
    out.shown.push_back(name);
  }
}

void sortAndDrop(Completion& c) {
  std::vector<std::pair<std::string, std::string>> both;
  for (size_t i = 0; i < c.candidates.size(); ++i) both.emplace_back(c.candidates[i], c.shown[i]);
  std::sort(both.begin(), both.end());
  both.erase(std::unique(both.begin(), both.end(),
                         [](const auto& a, const auto& b) { return a.first == b.first; }),
             both.end());
  c.candidates.clear();
  c.shown.clear();
  for (auto& [candidate, shown] : both) {
    c.candidates.push_back(std::move(candidate));
    c.shown.push_back(std::move(shown));
  }
}

}  // namespace

void learn(std::vector<Word> words) { vocabulary() = std::move(words); }

Completion complete(std::string_view before, const NamesInScope& names, bool files) {
  Completion out;
  const std::vector<OpenGroup> open = groupsOpenAtEnd(before);
  const char inner = open.empty() ? '\0' : open.back().opener;
  if (inner == '"' || inner == '\'') {
    const std::string_view path = before.substr(open.back().offset + 1);
    out.stemLength = path.size();
    if (files) addFileNames(path, out);
    sortAndDrop(out);
    return out;
  }
  const size_t start = nameStart(before);
  const std::string_view stem = before.substr(start);
  out.stemLength = stem.size();
  const bool call = start > 0 && before[start - 1] == '$';
  const bool statement = !call && (inner == '\0' || inner == '{') && statementStartsAt(before, start);
  auto offer = [&](const std::string& name, std::string_view after) {
    if (!name.starts_with(stem)) return;
    out.candidates.push_back(name + std::string(after));
    out.shown.push_back(name);
  };
  for (const Word& w : vocabulary()) {
    if (call && !w.keyword) offer(w.name, w.takesArguments ? "$(" : "");
    if (statement && w.keyword) offer(w.name, " ");
  }
  if (names) {
    for (const NameInScope& n : names())
      if (!call || n.isFunction) offer(n.name, "");
  }
  sortAndDrop(out);
  return out;
}

std::string sharedStart(const std::vector<std::string>& candidates) {
  if (candidates.empty()) return std::string();
  std::string_view shared = candidates.front();
  for (const std::string& c : candidates) {
    size_t n = 0;
    while (n < shared.size() && n < c.size() && shared[n] == c[n]) ++n;
    shared = shared.substr(0, n);
  }
  // A UTF-8 character is never cut: its continuation bytes go with it.
  const std::string& first = candidates.front();
  size_t n = shared.size();
  while (n > 0 && n < first.size() && (static_cast<unsigned char>(first[n]) & 0xC0) == 0x80) --n;
  return std::string(shared.substr(0, n));
}

std::string explain(std::string_view before, std::string_view after, const NamesInScope& names) {
  const size_t start = nameStart(before);
  size_t end = 0;
  while (end < after.size() && inName(after[end])) ++end;
  const std::string word = std::string(before.substr(start)) + std::string(after.substr(0, end));
  if (word.empty()) return "F1 (or Esc h) on a builtin or keyword shows how it is written; Tab completes a name";
  const bool call = start > 0 && before[start - 1] == '$';
  const Word* best = nullptr;
  for (const Word& w : vocabulary()) {
    // `list` is both: after `$` it is the builtin, bare it is the keyword.
    if (w.name != word || (call && w.keyword)) continue;
    if (!best || w.keyword) best = &w;
  }
  if (best) return best->usage;
  if (names) {
    for (const NameInScope& n : names())
      if (n.name == word) return word + (n.isFunction ? ": a function" : ": a variable");
  }
  return word + ": no builtin, keyword or variable";
}

}  // namespace velk::prompt_words
