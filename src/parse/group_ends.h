// Where the groups of a text close, found without reading a long group
// through once for every level that splits it.
//
// A group nested in groups is split at every level: the level around it reads
// it through to find where its token ends, and then its own split reads it
// again, so text nested N deep would be read N times over. But where a "("
// group closes (counting only parentheses) or a "{" group (counting only
// braces) depends on nothing but the bytes from the opening byte on, whatever
// group the splitter stands in. So the closing byte of every long group is
// found in one pass over the buffer that the texts share and kept beside it,
// and each level jumps over its long groups. A short group is read through:
// that costs less than looking it up.
#pragma once

#include <cstddef>
#include <string_view>

#include "support/text.h"

namespace velk {

// Groups at least this long, from the opening byte to the closing one, are
// looked up; shorter ones are read through.
inline constexpr size_t kLongGroupBytes = 256;

// The groups of `bytes`, a stretch of the bytes of `owner`, which outlives
// this object. Without an owner every group is read through.
class GroupEnds {
 public:
  GroupEnds(const Text* owner, std::string_view bytes) : owner_(owner), bytes_(bytes) {}

  // Where the group opened by the quote, "(" or "{" at offset `open` closes,
  // by the splitter's rules for that group: the offset of its closing byte,
  // or npos when the bytes end with the group still open.
  size_t closeOf(size_t open) const;

 private:
  size_t longGroupClose(size_t open) const;

  const Text* owner_;
  std::string_view bytes_;
};

}  // namespace velk
