// Near names: how many edits apart two names are, and the one name among many
// that a misspelt one most likely meant, for the suggestions of errors and of
// the checker's warnings.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace velk {

// The number of single-byte insertions, deletions, substitutions and swaps
// of two neighbours that turn `a` into `b`, or `limit` + 1 when it is more
// than `limit`.
size_t editDistance(std::string_view a, std::string_view b, size_t limit);

// The nearest of the names it is shown to a misspelt `word`: within 2 edits,
// or 1 for a word of two or three bytes (any two letters are within 2 edits
// of a third); a word of one byte is near every other one, so none is. Fewer edits win; among equally near names the first in byte order
// does, so that the answer never hangs on the order the names come in. Only
// names whose length is within reach are compared at all, and at most
// `maxCompared` of them, which bounds the work over a very large scope.
class NearestName {
 public:
  explicit NearestName(std::string_view word, size_t maxCompared = static_cast<size_t>(-1))
      : word_(word), maxCompared_(maxCompared), bestDistance_(word.size() <= 1 ? 1 : word.size() <= 3 ? 2 : 3) {}
  void consider(std::string_view name);
  // The nearest name so far, or empty when none is near enough.
  const std::string& best() const { return best_; }

 private:
  std::string_view word_;
  size_t maxCompared_;
  size_t compared_ = 0;
  size_t bestDistance_;  // one past the distance a name must be within
  std::string best_;
};

// "; did you mean `NAME`?", or nothing for an empty name.
std::string didYouMean(std::string_view meant);

}  // namespace velk
