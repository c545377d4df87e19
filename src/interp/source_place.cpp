// Places of statements: named sources, their lines, and the places handed on
// to the blocks of a text with a place.
#include "interp/source_place.h"

#include <algorithm>
#include <cstring>

#include "support/error.h"

namespace velk {

SourceRef makeSource(std::string_view name, bool inReports) {
  std::string shown = quoteForReport(name, 200);  // `...`, control bytes escaped
  return makeRef<SourceName>(shown.substr(1, shown.size() - 2), inReports);
}

std::string describePlace(const SourcePlace& place) {
  return place.source->name + ":" + std::to_string(place.line);
}

namespace {

// The line ends of a token. Whether it holds any is kept beside its bytes:
// names and operators are shared between compiles, and hold none.
uint32_t lineEndsIn(const TextRep& rep) {
  if (rep.holdsLineEnd == 1) return 0;
  const std::string_view bytes = rep.bytes();
  uint32_t n = 0;
  const char* p = bytes.data();
  const char* const end = p + bytes.size();
  while ((p = static_cast<const char*>(std::memchr(p, '\n', static_cast<size_t>(end - p)))) != nullptr) {
    ++n;
    ++p;
  }
  rep.holdsLineEnd = n ? 2 : 1;
  return n;
}

}  // namespace

void placeBlocks(const std::vector<Text>& tokens, SourcePlace& place, bool last) {
  // The line ends of the last token of a text count for nothing after it:
  // it is left uncounted, and a block there is taken to span lines.
  const size_t n = tokens.size();
  const size_t counted = place.flat ? 0 : last ? n - 1 : n;
  for (size_t i = 0; i < n; ++i) {
    const TextRep* rep = tokens[i].rep();
    if (!rep) continue;
    const uint32_t lineEnds = i < counted ? lineEndsIn(*rep) : 0;
    // (A token is split from its text afresh, so it has no place yet.)
    if (rep->bytes().front() == '{')
      setPlace(tokens[i], SourcePlace{place.source, place.line, place.flat || (i < counted && lineEnds == 0)});
    place.line += lineEnds;
  }
}

}  // namespace velk
