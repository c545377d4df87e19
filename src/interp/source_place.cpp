// Places of statements: named sources, their lines, and the places handed on
// to the blocks of a text with a place.
#include "interp/source_place.h"

#include <algorithm>

#include "support/error.h"

namespace velk {

SourceRef makeSource(std::string_view name, bool inReports) {
  std::string shown = quoteForReport(name, 200);  // `...`, control bytes escaped
  return makeRef<SourceName>(shown.substr(1, shown.size() - 2), inReports);
}

std::string describePlace(const SourcePlace& place) {
  return place.source->name + ":" + std::to_string(place.line);
}

void placeBlocks(const std::vector<Text>& tokens, SourcePlace& place, bool last) {
  for (size_t i = 0; i < tokens.size(); ++i) {
    std::string_view bytes = tokens[i].view();
    if (bytes.empty()) continue;
    // The line ends of the last token of a text count for nothing after it:
    // it is left uncounted, and a block there is taken to span lines.
    bool counted = !place.flat && !(last && i + 1 == tokens.size());
    uint32_t lineEnds = 0;
    if (counted)
      for (char c : bytes) lineEnds += c == '\n';
    // (A token is split from its text afresh, so it has no place yet.)
    if (bytes.front() == '{')
      setPlace(tokens[i], SourcePlace{place.source, place.line, place.flat || (counted && lineEnds == 0)});
    place.line += lineEnds;
  }
}

}  // namespace velk
