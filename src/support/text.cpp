// Text: shared immutable byte strings and their hash.
#include "support/text.h"

#include <algorithm>
#include <cassert>
#include <functional>

namespace velk {

uint64_t hashBytes(std::string_view bytes) { return std::hash<std::string_view>{}(bytes); }

uint64_t Text::computeHash() const {
  if (!rep_) return hashBytes({});
  if (!rep_->hashed) {
    rep_->hash = hashBytes(rep_->bytes());
    rep_->hashed = true;
  }
  return rep_->hash;
}

namespace {

// Below this length a stretch is always copied: its copy costs less than a
// slice's record.
constexpr size_t kMinSliceBytes = 64;
// A slice may keep alive at most this many times its own length.
constexpr size_t kMaxSliceShare = 4;

}  // namespace

const Ref<const TextBuffer>& TextRep::sharedBuffer() const {
  if (!shared_) {
    // Moving a string that holds its bytes on the heap keeps them where
    // they are, so data_ stays valid; a short one would move them.
    const char* before = owned_.data();
    shared_ = makeRef<TextBuffer>(std::move(owned_));
    assert(shared_->bytes.data() == before);
    (void)before;
  }
  return shared_;
}

Text Text::slice(size_t pos, size_t n) const {
  std::string_view whole = view();
  assert(pos <= whole.size());
  n = std::min(n, whole.size() - pos);
  if (n == 0) return Text();
  // A long text is its bytes on the heap, so its buffer can be shared.
  if (n < kMinSliceBytes) return Text(whole.substr(pos, n));
  const Ref<const TextBuffer>& buffer = rep_->sharedBuffer();
  if (n * kMaxSliceShare < buffer->bytes.size()) return Text(whole.substr(pos, n));
  Text t;
  t.rep_ = Ref<const TextRep>(new TextRep(buffer, whole.data() + pos, n));
  return t;
}

}  // namespace velk
