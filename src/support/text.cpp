// Text: shared immutable byte strings, their hash, slices of a shared buffer,
// and joining by growing a buffer at its end.
#include "support/text.h"

#include <algorithm>
#include <cassert>
#include <functional>
#include <unordered_map>

#include "support/block_pool.h"

namespace velk {

uint64_t hashBytes(std::string_view bytes) { return std::hash<std::string_view>{}(bytes); }

namespace {

// Short, and not a literal of a known first byte, a group, a block or a call:
// those are never bound as names in practice, and the long ones are rare.
constexpr size_t kMaxInternedBytes = 32;
// How many names the table holds at most. When it is full, the names that
// nothing but the table holds any more are dropped; if it is still full, new
// names come back as they are (unshared, which costs speed, never a result).
constexpr size_t kMaxInterned = 1 << 14;

bool mayName(const Text& token) {
  if (token.empty() || token.size() > kMaxInternedBytes) return false;
  char c = token.front();
  return c != '"' && c != '\'' && c != '(' && c != '{' && c != '$';
}

}  // namespace

Text internName(const Text& token) {
  if (!mayName(token)) return token;
  // Per thread, not per interpreter: programs are compiled where no
  // interpreter is at hand (a parsed form is kept beside its text, and any
  // interpreter on the thread may run it), and a Text's count is not atomic,
  // so the table cannot be the process's. What it holds changes no result,
  // only which equal names are one object. The keys view the bytes of the
  // Texts that the table holds.
  static thread_local std::unordered_map<std::string_view, Text> table;
  auto it = table.find(token.view());
  if (it != table.end()) return it->second;
  if (table.size() >= kMaxInterned) {
    // A sweep walks the whole table, so after one that left it nearly full
    // (a script binding very many names holds them all), the next quarter of
    // a table of new names comes back unshared before the table is swept
    // again: sweeping costs a few steps per name, never a table per name.
    static thread_local size_t refuseBeforeSweep = 0;
    if (refuseBeforeSweep > 0) {
      --refuseBeforeSweep;
      return token;
    }
    std::erase_if(table, [](const auto& entry) { return entry.second.soleHolder(); });
    if (table.size() >= kMaxInterned - kMaxInterned / 4) refuseBeforeSweep = kMaxInterned / 4;
    if (table.size() >= kMaxInterned) return token;
  }
  table.emplace(token.view(), token);
  return token;
}


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
// The least room a fresh buffer for a joined text gets: small joins would
// otherwise copy at every step until the doubling takes hold. A string with
// this much room keeps its bytes on the heap, so it can become a shared
// buffer without moving them.
constexpr size_t kMinJoinRoom = 32;

// `a` then `b` in a string of their own with room to grow: at least
// kMinJoinRoom bytes, or twice what they hold.
[[gnu::always_inline]] inline std::string bytesWithRoom(std::string_view a, std::string_view b) {
  std::string bytes;
  bytes.reserve(std::max(2 * (a.size() + b.size()), kMinJoinRoom));
  bytes.append(a);
  bytes.append(b);
  return bytes;
}

}  // namespace

TextBuffer::~TextBuffer() = default;

void* TextRep::operator new(size_t size) { return takePooled<TextRep>(size); }
void TextRep::operator delete(void* p, size_t size) noexcept { givePooled<TextRep>(p, size); }
void* TextBuffer::operator new(size_t size) { return takePooled<TextBuffer>(size); }
void TextBuffer::operator delete(void* p, size_t size) noexcept { givePooled<TextBuffer>(p, size); }

const Ref<TextBuffer>& TextRep::sharedBuffer() const {
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

Text Text::shown(Ref<TextBuffer> buffer, const char* data, size_t n) {
  Text t;
  t.rep_ = Ref<const TextRep>(new TextRep(std::move(buffer), data, n));
  return t;
}

Text Text::slice(size_t pos, size_t n) const {
  std::string_view whole = view();
  assert(pos <= whole.size());
  n = std::min(n, whole.size() - pos);
  if (n == 0) return Text();
  // A long text is its bytes on the heap, so its buffer can be shared.
  if (n < kMinSliceBytes) return Text(whole.substr(pos, n));
  const Ref<TextBuffer>& buffer = rep_->sharedBuffer();
  if (n * kMaxSliceShare < buffer->bytes.size()) return Text(whole.substr(pos, n));
  return shown(buffer, whole.data() + pos, n);
}

namespace text_detail {

// Per thread: the counts of Texts are not atomic, and the texts are handed
// out where no interpreter is at hand (splitting, `each`).
thread_local constinit const Text* oneByteTable = nullptr;

const Text* makeOneByteTable() {
  static thread_local Text texts[256];
  for (int i = 0; i < 256; ++i) texts[i] = Text(std::string(1, static_cast<char>(i)));
  oneByteTable = texts;
  return texts;
}

}  // namespace text_detail

bool Text::canGrowInPlace(size_t more) const {
  // Only where this text's bytes end the buffer (texts showing shorter
  // stretches never see what follows theirs) and only within its room: a
  // reallocation would move bytes that other Texts, and views taken from
  // them, still show.
  const std::string& room = rep_->isShared() ? rep_->shared_->bytes : rep_->owned_;
  const bool atEnd = rep_->data_ + rep_->size_ == room.data() + room.size();
  return atEnd && room.capacity() >= kMinJoinRoom && room.capacity() - room.size() >= more;
}

void Text::append(std::string_view more) {
  if (more.empty()) return;
  if (rep_ && rep_.unique() && canGrowInPlace(more.size())) {
    // The only handle to this representation: changing it is unseen.
    TextRep& rep = const_cast<TextRep&>(*rep_);
    (rep.isShared() ? rep.shared_->bytes : rep.owned_).append(more);
    rep.size_ += more.size();
    rep.hashed = false;
    rep.spellsLiteral = 0;
    rep.holdsLineEnd = 0;
    rep.attachment.reset();
    return;
  }
  appendElsewhere(more);
}

void Text::appendElsewhere(std::string_view more) {
  if (rep_ && canGrowInPlace(more.size())) {
    *this = joined(more);
    return;
  }
  // Bytes of their own with room to grow, so that the appends after this
  // one take the in-place path: a variable built up from empty (or from a
  // short text) a few bytes at a time is copied once, not at every step.
  *this = Text(bytesWithRoom(view(), more));
}

void Text::settleHere() {
  // The bytes move into the representation's own string, which holds them
  // without a block of their own; nothing else sees this representation, and
  // its hash and parsed forms still hold for the same bytes.
  TextRep& rep = const_cast<TextRep&>(*rep_);
  rep.owned_.assign(rep.data_, rep.size_);
  rep.data_ = rep.owned_.data();
  rep.shared_.reset();
}

Text Text::joined(std::string_view more) const {
  if (more.empty()) return *this;
  if (!rep_) return Text(more);
  const size_t n = rep_->size_ + more.size();
  if (canGrowInPlace(more.size())) {
    const Ref<TextBuffer>& buffer = rep_->sharedBuffer();
    buffer->bytes.append(more);
    return shown(buffer, rep_->data_, n);
  }
  auto buffer = makeRef<TextBuffer>(bytesWithRoom(view(), more));
  const char* data = buffer->bytes.data();
  return shown(std::move(buffer), data, n);
}

}  // namespace velk
