// Fuzz target: the checker on any text, as a script and as a typed line,
// loading the same text for every `also`. It must end without fault, and
// every warning must name a place inside the text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "check/checker.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  velk::CheckOptions options;
  options.loadScript = [text](std::string_view) { return std::string(text); };
  for (bool prompt : {false, true}) {
    options.typedAtPrompt = prompt;
    for (const velk::CheckWarning& w : velk::checkText(text, options)) {
      size_t start = 0;  // of the warning's line
      for (size_t line = 1; line < w.line; ++line) {
        start = text.find('\n', start);
        if (start == std::string_view::npos) std::abort();
        ++start;
      }
      if (w.column == 0 || start + w.column - 1 > text.size() || w.message.empty()) std::abort();
    }
  }
  return 0;
}
