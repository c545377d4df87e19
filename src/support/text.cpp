// Text: shared immutable byte strings and their hash.
#include "support/text.h"

#include <functional>

namespace velk {

const std::string& Text::emptyString() {
  static const std::string empty;
  return empty;
}

uint64_t hashBytes(std::string_view bytes) { return std::hash<std::string_view>{}(bytes); }

uint64_t Text::computeHash() const {
  if (!rep_) return hashBytes({});
  if (!rep_->hashed) {
    rep_->hash = hashBytes(rep_->bytes);
    rep_->hashed = true;
  }
  return rep_->hash;
}

}  // namespace velk
