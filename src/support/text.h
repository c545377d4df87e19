// Text: the byte strings of the language (values, tokens, variable names),
// shared and immutable, with room for a parsed form kept beside the bytes.
//
// A VELK program is text that is split again every time it runs: a function
// body at every call, a parenthesised token at every evaluation. A Text keeps
// its bytes and, once somebody has parsed them, the parsed form side by side
// (the way a Tcl object does). Because the bytes a representation shows never
// change, a parsed form can never go stale: a token that runs again finds its
// statements, its terms or its call already taken apart. Copies of a Text
// share one representation, so a func Value copied into a call still reaches
// the body parsed the first time.
//
// Building. A string built a piece at a time (`s += "x"`, `s = (s + t)`)
// would be copied whole at every step. Instead, a representation shows a
// stretch of a byte buffer, and the buffer may grow at its end beyond every
// stretch shown so far: joining a Text whose stretch reaches the buffer's end
// appends the new bytes in place (while there is room) and gives a new
// representation showing the longer stretch. What any earlier Text shows
// never changes, so its hash and parsed forms stay right; the buffer's spare
// room grows geometrically, so building N pieces costs O(N).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "support/ref.h"

namespace velk {

// Whatever a later layer keeps about a text's bytes. The interpreter derives
// its parsed forms from it; this layer only owns and destroys it.
class TextAttachment {
 public:
  virtual ~TextAttachment() = default;
};

// Bytes that several texts share: the buffer of a text that has been sliced
// or joined. Its bytes below its current length never change; it grows only
// at its end and only within its capacity, so it never moves while texts
// show parts of it.
class TextBuffer : public RefCounted {
 public:
  explicit TextBuffer(std::string b) : bytes(std::move(b)) {}
  ~TextBuffer();  // out of line: dropping a text is inlined everywhere
  // Pooled, as texts are (see TextRep).
  static void* operator new(size_t size);
  static void operator delete(void* p, size_t size) noexcept;
  std::string bytes;
  // Whatever a later layer keeps about the buffer's bytes, for every text
  // that shows a stretch of them (the splitter keeps where long groups
  // close). What it says of the bytes read so far stays true as the buffer
  // grows, since those bytes never change.
  mutable std::unique_ptr<TextAttachment> attachment;
};

// The bytes of a text: its own, or a stretch of a shared buffer (a slice).
// A slice holds the buffer, never the text it was cut from: parsed forms
// attached to a text hold slices of it, and a slice holding the text would
// make a cycle that is never freed. A text keeps its bytes itself until it is
// first sliced or grown in place; then they move, without being copied, into
// a shared buffer.
class TextRep : public RefCounted {
 public:
  explicit TextRep(std::string b) : owned_(std::move(b)), data_(owned_.data()), size_(owned_.size()) {}
  TextRep(Ref<TextBuffer> buffer, const char* data, size_t n)
      : shared_(std::move(buffer)), data_(data), size_(n) {}
  TextRep(const TextRep&) = delete;
  TextRep& operator=(const TextRep&) = delete;

  // Pooled: a text is made for nearly every string a step makes (a number
  // shown, two texts joined, a byte taken, a token cut from new code).
  static void* operator new(size_t size);
  static void operator delete(void* p, size_t size) noexcept;

  std::string_view bytes() const { return {data_, size_}; }
  // The buffer that holds the bytes, made shareable on first use.
  const Ref<TextBuffer>& sharedBuffer() const;
  bool isShared() const { return static_cast<bool>(shared_); }

  mutable bool hashed = false;
  // Whether the bytes could be read as a literal (see maySpellLiteral in
  // value/numbers.h), kept once asked: 0 not asked yet, 1 no, 2 yes. Names
  // are bound again and again (a function's arguments at every call), and
  // a variable map asks at every binding.
  mutable uint8_t spellsLiteral = 0;
  // Whether the bytes hold a line end, kept once asked: 0 not asked yet, 1
  // no, 2 yes. Statements are placed on their lines at every compile, and
  // most of their tokens are shared names and operators.
  mutable uint8_t holdsLineEnd = 0;
  mutable uint64_t hash = 0;
  mutable std::unique_ptr<TextAttachment> attachment;

 private:
  friend class Text;
  mutable std::string owned_;         // empty once shared
  mutable Ref<TextBuffer> shared_;    // null until shared
  const char* data_;
  size_t size_;
};

class Text {
 public:
  // How many bytes a representation holds without a block of their own (a
  // std::string's inline room).
  static constexpr size_t kShortBytes = 15;
  Text() = default;
  explicit Text(std::string bytes) : rep_(bytes.empty() ? nullptr : new TextRep(std::move(bytes))) {}
  explicit Text(std::string_view bytes) : Text(std::string(bytes)) {}
  explicit Text(const char* bytes) : Text(std::string(bytes)) {}

  // A copy of the bytes, for the interfaces that want a terminated string.
  std::string str() const { return std::string(view()); }
  // The empty text views "" rather than null, so its bytes can go to any
  // function that takes a pointer (fwrite, memcpy) even when none are read.
  std::string_view view() const { return rep_ ? rep_->bytes() : std::string_view(""); }
  size_t size() const { return rep_ ? rep_->size_ : 0; }
  bool empty() const { return !rep_; }
  char operator[](size_t i) const { return view()[i]; }
  char front() const { return view().front(); }
  char back() const { return view().back(); }

  // Computed once per representation, then kept.
  uint64_t hash() const { return rep_ && rep_->hashed ? rep_->hash : computeHash(); }
  // Whether hash() is kept already, so that asking for it reads no byte.
  bool hashKnown() const { return rep_ && rep_->hashed; }
  void swap(Text& o) noexcept { rep_.swap(o.rep_); }
  // The substring [pos, pos + n), sharing nothing with this text.
  Text sub(size_t pos, size_t n = std::string::npos) const { return Text(view().substr(pos, n)); }
  // The substring [pos, pos + n), equal to sub() in every way but cost: a
  // long stretch shares this text's buffer instead of copying it, so that
  // taking a text apart level by level (groups in groups, blocks in blocks)
  // costs memory in proportion to the text, not to its square. Short
  // stretches, and stretches much smaller than the buffer they would keep
  // alive, are copied: a few bytes kept from a big text must not hold all of
  // it, and a copy of a few bytes costs no more than a slice.
  Text slice(size_t pos, size_t n = std::string::npos) const;

  // This text followed by `more`. The result shares this text's buffer, grown
  // in place, when this text's bytes reach the buffer's end and there is
  // room; otherwise it gets a fresh buffer with room to grow. Neither this
  // text nor any other changes what it shows.
  Text joined(std::string_view more) const;
  // This text becomes joined(more). A representation that no other Text
  // shares grows where it is, when joined() would grow its buffer in place:
  // nobody else sees it, so only its hash and its parsed forms, made of the
  // shorter bytes, are dropped (a later parse splits the new bytes). Where
  // no buffer can grow, the text gets bytes of its own with room to grow.
  void append(std::string_view more);

  // The representation, so that two Texts can be told to be one object and a
  // parsed form can be attached. Null for the empty text.
  const TextRep* rep() const { return rep_.get(); }
  // The representation as one counted pointer, given up and taken back (or
  // shared, with a count of its own): how a list keeps a string element in
  // one word (value/value.h).
  const TextRep* detachRep() && { return rep_.detach(); }
  static Text adoptRep(const TextRep* rep) {
    Text t;
    t.rep_ = Ref<const TextRep>::adopt(rep);
    return t;
  }
  static Text sharingRep(const TextRep* rep) {
    Text t;
    t.rep_ = Ref<const TextRep>(rep);
    return t;
  }
  // Whether this Text is the only holder of its representation.
  bool soleHolder() const { return rep_.unique(); }
  // A short text that alone holds a buffer with room to grow (a join's
  // result) comes to keep its bytes itself, inside its representation: a
  // text that is stored to stay (a variable's value, a list's element) then
  // holds no room that only a join in progress would use. A text that shares
  // its buffer (one built a piece at a time) keeps it.
  void settle() {
    if (rep_ && rep_->size_ <= kShortBytes && rep_->isShared() && rep_.unique() && rep_->shared_.unique())
      settleHere();
  }

  friend bool operator==(const Text& a, const Text& b) {
    return a.rep_ == b.rep_ || a.view() == b.view();
  }
  friend bool operator==(const Text& a, std::string_view b) { return a.view() == b; }

 private:
  // Whether `more` bytes fit after this text's own, in its buffer's room.
  bool canGrowInPlace(size_t more) const;
  // append() where this representation cannot grow where it is.
  [[gnu::noinline]] void appendElsewhere(std::string_view more);
  // settle() once it has found the text short and its buffer its own.
  void settleHere();
  // A text showing n bytes of `buffer` from `data` on.
  static Text shown(Ref<TextBuffer> buffer, const char* data, size_t n);
  uint64_t computeHash() const;
  Ref<const TextRep> rep_;
};

uint64_t hashBytes(std::string_view bytes);

// One shared Text for every short token of the same bytes that can name a
// variable, so that a name bound in a map and the same name read elsewhere
// are one object and compare at once (and share what is kept beside them).
// Other tokens, and names once the table is full, come back as they are.
Text internName(const Text& token);

// The text of the one byte c, made once per thread and shared by every
// caller: `each` over a string and `index` of one take a byte at a time.
namespace text_detail {
extern thread_local constinit const Text* oneByteTable;
const Text* makeOneByteTable();
}  // namespace text_detail
inline const Text& oneByteText(unsigned char c) {
  const Text* table = text_detail::oneByteTable;
  if (!table) [[unlikely]] table = text_detail::makeOneByteTable();
  return table[c];
}

// The bytes between the first and the last, as groups, blocks and quoted
// literals are opened: nothing for a text shorter than two bytes. Whoever must
// refuse such a text checks its length first.
inline std::string_view withoutEnds(std::string_view bytes) {
  return bytes.size() >= 2 ? bytes.substr(1, bytes.size() - 2) : std::string_view();
}
// The same as a text, sharing the bytes where that pays (Text::slice).
inline Text textWithoutEnds(const Text& text) { return text.size() >= 2 ? text.slice(1, text.size() - 2) : Text(); }

}  // namespace velk
