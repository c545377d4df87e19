// Finding where groups close: short ones read through, long ones looked up in
// a table kept beside the buffer of the text.
#include "parse/group_ends.h"

#include <algorithm>
#include <cassert>
#include <memory>
#include <unordered_map>
#include <vector>

#include "support/interrupt.h"

namespace velk {
namespace {

constexpr size_t npos = std::string_view::npos;

// Where the long groups of a buffer's bytes close, read from the buffer's
// start as far as some text has needed. Offsets are into the buffer. A group
// is matched by a stack per kind, which is what counting only its own kind
// from its opening byte on gives: the byte that closes it is the first where
// that count returns to zero, whatever was open before it.
class LongGroupTable : public TextAttachment {
 public:
  // Reads on up to `end`: then every long group that closes before `end` is
  // known. Between two looks at the interrupt request what was read is
  // complete, so an interrupted read goes on where it stopped.
  void readUpTo(std::string_view bytes, size_t end) {
    InterruptPoll poll;
    for (size_t i = read_; i < end; ++i) {
      switch (bytes[i]) {
        case '(': openParens_.push_back(i); break;
        case ')': close(openParens_, i); break;
        case '{': openBraces_.push_back(i); break;
        case '}': close(openBraces_, i); break;
        default: break;
      }
      read_ = i + 1;
      poll.at(i);
    }
  }

  // The closing byte of the long group opened at `open`, or npos when it
  // does not close in the bytes read.
  size_t closeOf(size_t open) const {
    auto it = ends_.find(open);
    return it == ends_.end() ? npos : it->second;
  }

 private:
  void close(std::vector<size_t>& open, size_t at) {
    if (open.empty()) return;  // outside every group of its kind: an ordinary byte
    const size_t from = open.back();
    open.pop_back();
    if (at - from >= kLongGroupBytes) ends_.emplace(from, at);
  }

  size_t read_ = 0;
  std::vector<size_t> openParens_;
  std::vector<size_t> openBraces_;
  std::unordered_map<size_t, size_t> ends_;
};

}  // namespace

size_t GroupEnds::closeOf(size_t open) const {
  const char opener = bytes_[open];
  if (opener == '"' || opener == '\'') return bytes_.find(opener, open + 1);
  assert(opener == '(' || opener == '{');
  const char closer = opener == '(' ? ')' : '}';
  const size_t stop = owner_ ? std::min(bytes_.size(), open + kLongGroupBytes) : bytes_.size();
  size_t depth = 1;
  for (size_t i = open + 1; i < stop; ++i) {
    if (bytes_[i] == opener)
      ++depth;
    else if (bytes_[i] == closer && --depth == 0)
      return i;
  }
  return stop == bytes_.size() ? npos : longGroupClose(open);
}

// A group that has not closed within kLongGroupBytes: long, if it closes in
// the bytes at all.
size_t GroupEnds::longGroupClose(size_t open) const {
  // The owner is longer than the group read so far, so its bytes are on the
  // heap and become a shared buffer where they are.
  const Ref<TextBuffer>& buffer = owner_->rep()->sharedBuffer();
  const std::string_view all = buffer->bytes;
  const size_t base = static_cast<size_t>(bytes_.data() - all.data());
  assert(base + bytes_.size() <= all.size());
  if (!buffer->attachment) buffer->attachment = std::make_unique<LongGroupTable>();
  auto& table = static_cast<LongGroupTable&>(*buffer->attachment);
  table.readUpTo(all, base + bytes_.size());
  const size_t close = table.closeOf(base + open);
  return close == npos || close - base >= bytes_.size() ? npos : close - base;
}

}  // namespace velk
