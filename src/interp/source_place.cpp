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

void placeBlocks(const std::vector<Text>& tokens, SourcePlace& place) {
  for (const Text& token : tokens) {
    if (token.empty()) continue;
    std::string_view bytes = token.view();
    uint32_t lineEnds = place.flat ? 0 : static_cast<uint32_t>(std::count(bytes.begin(), bytes.end(), '\n'));
    // A group may hold blocks too; it is given its place as a block is, so
    // that the expression it holds can hand it on.
    if ((bytes.front() == '{' || bytes.front() == '(') && !placeOf(token))
      setPlace(token, SourcePlace{place.source, place.line, lineEnds == 0});
    place.line += lineEnds;
  }
}

}  // namespace velk
