// The Value record: the one datum of the language, and how Values are shared.
//
// Every variable, list element, member, argument and result is a Value. A Value
// carries a slot for every kind of content at once (bytes, text, argument
// names, an integer, a float, elements, members) plus its typeName, and only
// typeName says which slot counts. Slots that do not belong to the current
// type keep whatever they held: a list converted to a string still carries its
// elements.
//
// Size. Values are made at nearly every step, so a Value fills 48 bytes: a
// one-byte type, the float packed beside the reference count, and the three
// rarely held slots (bytes, argument names, members) in one shared side block,
// absent while all three are empty. Values come from a free list of such
// blocks rather than from the general allocator. A list keeps its small
// integers and plain strings without a Value each, in one word per element
// (ElementCell), until somebody needs the element's identity.
//
// Sharing. Variable maps and `members` hold ValueRefs, shared handles to
// Values that live as long as any holder reaches them; `elements` holds cells
// that are such handles or stand for a Value that only the list holds.
// Assignment copies content into an existing Value, so every holder sees the
// change; binding a name to another Value changes only that one map.
//
// Cost. A Value is copied at nearly every step of evaluation, so every slot
// that can be large is a shared handle with copy-on-write: copying a Value
// copies a handful of pointers, whatever its text, bytes or elements hold.
// Copying a list copies one handle, not a reference per element; a list that
// is changed afterwards takes its own copy of the references first, so the
// change is never seen through the Values it was copied from or to.
//
// Destruction. A chain of nested lists can be arbitrarily deep; destroying it
// by recursion could exhaust the stack. Values whose count drops to zero while
// another Value is being destroyed are queued and destroyed one after the
// other instead (DestroyShared<Value> in value.cpp).
#pragma once

#include <cstdint>
#include <cstring>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "support/ref.h"
#include "support/text.h"
#include "value/varmap.h"

namespace velk {

// A type name: one byte, an index into the eight texts below, so that a
// Value carries its type in as little room as possible.
class TypeName {
 public:
  constexpr explicit TypeName(uint8_t id) : id_(id) {}
  std::string_view text() const { return kNames[id_]; }
  friend constexpr bool operator==(TypeName a, TypeName b) { return a.id_ == b.id_; }

 private:
  static constexpr const char* kNames[] = {"integer", "float", "string",   "list",
                                           "func",    "bytes", "scaffold", "unspecified"};
  uint8_t id_;
};

inline constexpr TypeName kInteger{0};
inline constexpr TypeName kFloat{1};
inline constexpr TypeName kString{2};
inline constexpr TypeName kList{3};
inline constexpr TypeName kFunc{4};
inline constexpr TypeName kBytes{5};
inline constexpr TypeName kScaffold{6};
inline constexpr TypeName kUnspecified{7};

// An extended-precision float stored in just the bytes that carry it (ten on
// x86), with no alignment of its own: it reads and writes as a long double.
class PackedFloat {
 public:
  PackedFloat() = default;
  PackedFloat(long double x) { *this = x; }  // NOLINT: reads as a long double
  operator long double() const {  // NOLINT
    long double x = 0;
    std::memcpy(&x, bytes_, kBytes);
    return x;
  }
  PackedFloat& operator=(long double x) {
    std::memcpy(bytes_, &x, kBytes);
    return *this;
  }
  // Every byte zero, as in a Value that never held a float (not -0.0).
  bool isZeroBits() const {
    if constexpr (kBytes == 10) {
      uint64_t low;
      uint16_t high;
      std::memcpy(&low, bytes_, 8);
      std::memcpy(&high, bytes_ + 8, 2);
      return (low | high) == 0;
    } else {
      unsigned char any = 0;
      for (unsigned char b : bytes_) any |= b;
      return any == 0;
    }
  }

 private:
  static constexpr size_t kBytes =
      std::numeric_limits<long double>::digits == 64 ? 10 : sizeof(long double);
  unsigned char bytes_[kBytes] = {};
};

// The type name spelt exactly as text, if there is one.
const TypeName* typeNameFromText(std::string_view text);

// A vector shared until written (copy-on-write): copying it copies one
// handle, and a change to a shared one copies the items first. The empty
// vector holds nothing at all.
template <class T>
class SharedVector {
 public:
  SharedVector() = default;
  explicit SharedVector(std::vector<T> items) : rep_(items.empty() ? nullptr : new Rep{{}, std::move(items)}) {}

  const std::vector<T>& get() const { return rep_ ? rep_->items : none(); }
  size_t size() const { return rep_ ? rep_->items.size() : 0; }
  bool isEmpty() const { return size() == 0; }
  const T& operator[](size_t i) const { return rep_->items[i]; }
  const T* begin() const { return rep_ ? rep_->items.data() : nullptr; }
  const T* end() const { return rep_ ? rep_->items.data() + rep_->items.size() : nullptr; }

  void push(T v) { own().push_back(std::move(v)); }
  void erase(size_t i) { own().erase(own().begin() + static_cast<std::ptrdiff_t>(i)); }
  void swap(SharedVector& o) noexcept { rep_.swap(o.rep_); }

 private:
  struct Rep : RefCounted {
    std::vector<T> items;
  };
  static const std::vector<T>& none() {
    static const std::vector<T> empty;
    return empty;
  }
  std::vector<T>& own() {
    if (!rep_)
      rep_ = makeRef<Rep>();
    else if (!rep_.unique())
      rep_ = makeRef<Rep>(*rep_);
    return rep_->items;
  }
  Ref<Rep> rep_;
};

// A bytes Value's content.
using Bytes = SharedVector<uint8_t>;
// The argument names of a func Value, replaced as a whole by `setargmap`.
using NameList = SharedVector<Text>;
class Value;
class ElementValue;

// One element of a list, in one word. Most elements are small integers or
// plain strings, and a pooled Value for each would cost six times the word
// that refers to it; so a cell holds such an element itself ("compact"): an
// integer that fits in 63 bits, or the counted representation of a string's
// text. Any other element is a counted reference to its Value ("boxed").
//
// A compact cell stands for a Value that nobody but its array holds and that
// holds nothing but its integer (type "integer") or its text (type "string",
// as Value::string makes it): nothing can tell the two apart until somebody
// needs the element's identity. Then the cell is boxed in place (see
// Elements::ref).
class ElementCell {
 public:
  // Whether v can be kept in a compact cell without losing anything.
  static bool fits(const Value& v);
  // Compact when v fits, boxed in a new Value otherwise.
  explicit ElementCell(Value&& v);
  explicit ElementCell(const Value& v);
  // The Value itself; taken apart into a compact cell when nobody else holds
  // it (then nobody can tell) and it fits.
  explicit ElementCell(ValueRef v);
  ElementCell(const ElementCell& o) noexcept : bits_(o.bits_) { retain(); }
  ElementCell(ElementCell&& o) noexcept : bits_(o.bits_) { o.bits_ = kInt; }
  ElementCell& operator=(const ElementCell& o) noexcept {
    ElementCell copy(o);
    std::swap(bits_, copy.bits_);
    return *this;
  }
  ElementCell& operator=(ElementCell&& o) noexcept {
    std::swap(bits_, o.bits_);
    return *this;
  }
  ~ElementCell() { release(); }

  bool isBoxed() const { return (bits_ & kTagMask) == kBoxed; }
  bool isInteger() const { return (bits_ & kInt) != 0; }
  bool isText() const { return (bits_ & kTagMask) == kText; }
  // The compact integer, for a cell that isInteger().
  int64_t integer() const { return static_cast<int64_t>(bits_) >> 1; }
  // The compact string's bytes, for a cell that isText().
  std::string_view textBytes() const {
    const TextRep* rep = textRep();
    return rep ? rep->bytes() : std::string_view("");
  }
  // The Value of a boxed cell, null for a compact one.
  const Value* boxed() const { return isBoxed() ? reinterpret_cast<const Value*>(bits_) : nullptr; }
  // A new Value equal to the element, for a compact cell.
  Value compactValue() const;

 private:
  friend class Elements;
  // The low bits tell the kind: Values and text representations are aligned
  // to at least four bytes, so their addresses leave two bits free.
  static constexpr uintptr_t kInt = 1;      // x1: an integer, shifted left by one
  static constexpr uintptr_t kText = 2;     // 10: a text representation (null: "")
  static constexpr uintptr_t kBoxed = 0;    // 00: a Value
  static constexpr uintptr_t kTagMask = 3;
  static bool intFits(int64_t n) { return n >= -(INT64_C(1) << 62) && n < (INT64_C(1) << 62); }
  const TextRep* textRep() const { return reinterpret_cast<const TextRep*>(bits_ & ~kTagMask); }
  Value* boxedValue() const { return reinterpret_cast<Value*>(bits_); }
  // The cell of a Value that fits, taking its text.
  static uintptr_t compactBits(Value&& v);
  void retain() noexcept;
  void release() noexcept;
  // Boxes a compact cell in place, in `v`: a Value that holds nothing but
  // an integer and an empty text (a new one, or one a cell was just made
  // compact from). The cell's count on its text passes to the Value, and
  // the Value's count (one) to the cell.
  void boxInto(Value* v);
  uintptr_t bits_;
};

// A list's elements: an array of cells, shared until written (copy-on-write).
// Copying Elements copies one handle; a change to a shared array copies the
// cells first, and the copies share the element Values, so that an element
// changed in place through one list is seen through every list that shares
// it. A compact cell copied that way would become two independent Values:
// before a shared array is copied, its compact cells are boxed, in the array
// itself, so that both copies keep sharing exactly what they shared before.
//
// Reading. operator[] and the iterators give an ElementValue, a read of the
// element that boxes nothing (a compact cell is read as a Value made for the
// occasion); ref() gives the element's own Value, boxing it first. A read is
// valid while the array is not changed, as an iterator would be.
//
// Boxing back. A boxed cell whose Value only the array holds again (the
// variable that `index` or `each` bound to it was rebound) can be compact
// again: nobody can tell. The array remembers the few cells it boxed last
// and makes them compact again, when they fit, as it boxes the next; so
// walking a list with `index` or `each` keeps it compact.
class Elements {
 public:
  Elements() = default;
  explicit Elements(std::vector<ElementCell> cells)
      : rep_(cells.empty() ? Ref<Rep>() : makeRef<Rep>(std::move(cells))) {}

  size_t size() const { return rep_ ? rep_->cells.size() : 0; }
  bool isEmpty() const { return size() == 0; }
  // Whether an array is held, perhaps an empty one (a list emptied by
  // `remove` keeps its array): what dropping the list must release.
  bool holdsArray() const { return static_cast<bool>(rep_); }
  const ElementCell& cell(size_t i) const { return rep_->cells[i]; }
  // A read of element i.
  ElementValue operator[](size_t i) const;
  // Element i's own Value, boxed first when compact. The array changes only
  // in how it keeps the element, so this is a read: every holder of the array
  // sees the same Value.
  ValueRef ref(size_t i) const;
  // Walking on: when element `from` is boxed in `held`, which nobody but the
  // array and the caller's one handle hold, and `to` is compact, `from` is
  // made compact again and `held` becomes element `to`'s own Value, so the
  // caller's handle need not change. False, changing nothing, otherwise.
  bool passBox(size_t from, size_t to, Value* held) const;

  void push(Value&& v);
  void push(const Value& v);
  void push(ValueRef v) { own().emplace_back(std::move(v)); }
  void erase(size_t i);
  void swap(Elements& o) noexcept { rep_.swap(o.rep_); }
  // True when both handles are one array (or both empty).
  bool sameArray(const Elements& o) const { return rep_ == o.rep_; }

  class Iterator {
   public:
    explicit Iterator(const ElementCell* p) : p_(p) {}
    ElementValue operator*() const;
    Iterator& operator++() {
      ++p_;
      return *this;
    }
    friend bool operator!=(Iterator a, Iterator b) { return a.p_ != b.p_; }

   private:
    const ElementCell* p_;
  };
  Iterator begin() const { return Iterator(rep_ ? rep_->cells.data() : nullptr); }
  Iterator end() const { return Iterator(rep_ ? rep_->cells.data() + rep_->cells.size() : nullptr); }

 private:
  struct Rep : RefCounted {
    explicit Rep(std::vector<ElementCell> c) : cells(std::move(c)) {}
    Rep() = default;
    ~Rep();  // out of line: dropping a Value is inlined everywhere
    std::vector<ElementCell> cells;
    // The cells boxed last, oldest first (see "Boxing back").
    static constexpr size_t kRecent = 4;
    size_t recent[kRecent] = {};
    size_t recentCount = 0;
  };
  // Boxes compact cell i; returns its Value, held by the cell alone.
  Value* boxAt(size_t i) const;
  std::vector<ElementCell>& own() {
    if (!rep_)
      makeRep();
    else if (!rep_.unique())
      copyShared();
    return rep_->cells;
  }
  void copyShared();
  void makeRep();
  Ref<Rep> rep_;
};

// The fields a Value rarely holds, kept apart so that the common Value stays
// small. Shared between copies of a Value until one of them changes a field.
struct ValueExtras : RefCounted {
  Bytes bytes;
  NameList argNames;
  VarMap members;
  // Pooled, as Values are: every class instance and every function with
  // argument names has one.
  static void* operator new(size_t size);
  static void operator delete(void* p, size_t size) noexcept;
};

class Value : public RefCounted {
 public:
  // Laid out to fill 48 bytes: the count and the type in the first word,
  // the float packed beside them.
  TypeName typeName = kUnspecified;
  PackedFloat floatValue;
  Text text;
  int64_t intValue = 0;
  Elements elements;

  Value() = default;
  // Copying copies every field; elements and members share the referenced
  // Values. Assignment replaces every field while the target keeps its
  // identity, so every holder of a reference to it sees the new content.
  Value(const Value&) = default;
  Value(Value&&) noexcept = default;
  Value& operator=(const Value&) = default;
  // Moving swaps the handles: the moved-from Value, which nothing reads again,
  // takes the old content along and releases it when it goes.
  Value& operator=(Value&& o) noexcept {
    swapContent(o);
    return *this;
  }
  void swapContent(Value& o) noexcept {
    std::swap(typeName, o.typeName);
    std::swap(floatValue, o.floatValue);
    text.swap(o.text);
    std::swap(intValue, o.intValue);
    elements.swap(o.elements);
    extras_.swap(o.extras_);
  }

  // The rarely held fields: read in place, written through the setters.
  const Bytes& bytes() const { return extras_ ? extras_->bytes : noExtras().bytes; }
  const NameList& argNames() const { return extras_ ? extras_->argNames : noExtras().argNames; }
  const VarMap& members() const { return extras_ ? extras_->members : noExtras().members; }
  void setBytes(Bytes b) { ownExtras().bytes = std::move(b); }
  void setArgNames(NameList names) { ownExtras().argNames = std::move(names); }
  void setMembers(VarMap m) { ownExtras().members = std::move(m); }
  // The members, to be changed in place (this Value's own copy of them).
  VarMap& changeMembers() { return ownExtras().members; }
  // Whether the fields beside the integer and the text are all empty (no
  // float, no elements, no bytes, argument names or members), as in a Value
  // made by integer() or string().
  bool holdsOnlyIntAndText() const { return elements.isEmpty() && !extras_ && floatValue.isZeroBits(); }
  // Exactly what string() makes of its text: a string and nothing else.
  bool isPlainString() const { return typeName == kString && intValue == 0 && holdsOnlyIntAndText(); }
  // Exactly what floating() makes: a float and nothing else.
  bool isPlainFloat() const {
    return typeName == kFloat && intValue == 0 && text.empty() && elements.isEmpty() && !extras_;
  }
  // Whether destroying this Value may release more than its text: other
  // Values, or an array (an emptied list's too).
  bool mayHoldValues() const { return elements.holdsArray() || extras_; }

  // Pooled: Values are made and dropped at nearly every step.
  static void* operator new(size_t size);
  static void operator delete(void* p, size_t size) noexcept;

  static Value integer(int64_t n) {
    Value v;
    v.typeName = kInteger;
    v.intValue = n;
    return v;
  }
  static Value floating(long double x) {
    Value v;
    v.typeName = kFloat;
    v.floatValue = x;
    return v;
  }
  static Value string(Text t) {
    Value v;
    v.typeName = kString;
    v.text = std::move(t);
    return v;
  }
  // A func Value of a brace block's text (braces included), not run.
  static Value func(Text block) {
    Value v;
    v.typeName = kFunc;
    v.text = std::move(block);
    return v;
  }
  static Value list(Elements items = {}) {
    Value v;
    v.typeName = kList;
    v.elements = std::move(items);
    return v;
  }
  // A Value of the type and nothing in it.
  static Value ofType(TypeName type) {
    Value v;
    v.typeName = type;
    return v;
  }

 private:
  // What a Value without extras reads: made at compile time, so reading it
  // costs no call and no initialisation check.
  static const ValueExtras kNoExtras;
  static const ValueExtras& noExtras() { return kNoExtras; }
  ValueExtras& ownExtras() {
    if (!extras_)
      extras_ = makeRef<ValueExtras>();
    else if (!extras_.unique())
      extras_ = makeRef<ValueExtras>(*extras_);
    return *extras_;
  }
  Ref<ValueExtras> extras_;
};

// A read of one list element: the boxed element's Value itself, or a Value
// made for the occasion from a compact cell. Neither copied nor moved, so
// that it can point into itself.
class ElementValue {
 public:
  explicit ElementValue(const ElementCell& c) : p_(c.boxed()) {
    if (!p_) p_ = &temp_.emplace(c.compactValue());
  }
  ElementValue(const ElementValue&) = delete;
  ElementValue& operator=(const ElementValue&) = delete;
  const Value& operator*() const { return *p_; }
  const Value* operator->() const { return p_; }

 private:
  std::optional<Value> temp_;
  const Value* p_;
};

inline ElementValue Elements::operator[](size_t i) const { return ElementValue(rep_->cells[i]); }
inline ElementValue Elements::Iterator::operator*() const { return ElementValue(*p_); }
inline ValueRef Elements::ref(size_t i) const {
  if (const Value* v = rep_->cells[i].boxed()) return ValueRef(const_cast<Value*>(v));
  return ValueRef(boxAt(i));
}

inline bool ElementCell::fits(const Value& v) {
  if (v.typeName == kInteger) return intFits(v.intValue) && v.text.empty() && v.holdsOnlyIntAndText();
  return v.isPlainString();
}
inline void ElementCell::retain() noexcept {
  if (isInteger()) return;
  if (isText()) {
    if (textRep()) (void)std::move(Text::sharingRep(textRep())).detachRep();
  } else {
    (void)ValueRef(boxedValue()).detach();
  }
}
inline void ElementCell::release() noexcept {
  if (isInteger()) return;
  if (isText())
    Text::adoptRep(textRep());
  else
    ValueRef::adopt(boxedValue());
}
inline Value ElementCell::compactValue() const {
  return isInteger() ? Value::integer(integer()) : Value::string(Text::sharingRep(textRep()));
}

inline ValueRef newValue(Value v) { return ValueRef(new Value(std::move(v))); }
inline ValueRef newValue() { return ValueRef(new Value()); }
inline ValueRef copiedValue(const Value& v) { return ValueRef(new Value(v)); }

inline uintptr_t ElementCell::compactBits(Value&& v) {
  if (v.typeName == kInteger) return (static_cast<uintptr_t>(v.intValue) << 1) | kInt;
  return reinterpret_cast<uintptr_t>(std::move(v.text).detachRep()) | kText;
}

inline ElementCell::ElementCell(Value&& v)
    : bits_(fits(v) ? compactBits(std::move(v)) : reinterpret_cast<uintptr_t>(newValue(std::move(v)).detach())) {}

inline ElementCell::ElementCell(const Value& v) {
  if (!fits(v)) {
    bits_ = reinterpret_cast<uintptr_t>(copiedValue(v).detach());
  } else if (v.typeName == kInteger) {
    bits_ = (static_cast<uintptr_t>(v.intValue) << 1) | kInt;
  } else {
    Text text = v.text;
    bits_ = reinterpret_cast<uintptr_t>(std::move(text).detachRep()) | kText;
  }
}

inline void ElementCell::boxInto(Value* v) {
  if (isInteger()) {
    v->typeName = kInteger;
    v->intValue = integer();
  } else {
    v->typeName = kString;
    v->intValue = 0;
    // v's text is empty: swapped out, it has nothing to release.
    Text text = Text::adoptRep(textRep());
    v->text.swap(text);
    (void)std::move(text).detachRep();
  }
  bits_ = reinterpret_cast<uintptr_t>(v);
}

inline void Elements::push(Value&& v) { own().emplace_back(std::move(v)); }
inline void Elements::push(const Value& v) {
  // A Value that does not fit is copied before the array changes: it may be
  // this very list, whose copy must hold the elements as they were.
  if (!ElementCell::fits(v)) return push(copiedValue(v));
  own().emplace_back(v);
}

// True for "integer" and "float".
inline bool isNumeric(const Value& v) { return v.typeName == kInteger || v.typeName == kFloat; }

// The one conversion routine: v converted to the type named by target. Fields
// other than the converted one keep their content. `maxBytes`, when not 0,
// caps the text form built of a list (see text_forms.h).
Value convertTo(Value v, std::string_view target, size_t maxBytes = 0);
Value convertTo(Value v, TypeName target, size_t maxBytes = 0);

// The typed accessors: what convertTo of a copy of v would give in one field.
// They never change v.
Text asText(const Value& v, size_t maxBytes = 0);  // the display form
int64_t asIntOtherwise(const Value& v);
// "stoi" for a string that holds no integer.
inline int64_t asInt(const Value& v) { return v.typeName == kInteger ? v.intValue : asIntOtherwise(v); }
// An integer read as a float: through single precision, ties to even.
inline long double floatFromInteger(int64_t n) { return static_cast<long double>(static_cast<float>(n)); }
long double asFloatOtherwise(const Value& v);
// "stof" for a string that holds no float.
inline long double asFloat(const Value& v) {
  if (v.typeName == kFloat) return v.floatValue;
  if (v.typeName == kInteger) return floatFromInteger(v.intValue);
  return asFloatOtherwise(v);
}
const Elements& asElements(const Value& v);
Bytes asBytes(const Value& v);

// Whether a Value's display form is its text as it stands: a string's, a func's.
inline bool showsItsText(const Value& v) { return v.typeName == kString || v.typeName == kFunc; }
bool valueEqualsOtherwise(const Value& a, const Value& b, size_t maxBytes);  // the rules past the first
// The first rule of valueEquals, inline where equality is tested most: two
// Values shown as their texts are equal when their bytes are, without
// building display forms. False when it does not apply; else true, with
// `equal` set.
inline bool equalAsTexts(const Value& a, const Value& b, bool& equal) {
  if (!showsItsText(a) || !showsItsText(b)) return false;
  const std::string_view x = a.text.view(), y = b.text.view();
  // A single byte (what `each` gives of a text, what it is mostly compared
  // with) is told at once, without a call.
  equal = x.size() == y.size() && (x.size() == 1 ? x[0] == y[0] : a.text == b.text);
  return true;
}
// Equality behind "==", "!=" and `where` (maxBytes as for asText).
inline bool valueEquals(const Value& a, const Value& b, size_t maxBytes = 0) {
  bool equal;
  return equalAsTexts(a, b, equal) ? equal : valueEqualsOtherwise(a, b, maxBytes);
}
// The position of the first of items for which valueEquals(item, x) holds,
// or items.size() when none does, with any error the first failing
// comparison raises: what `where` answers.
size_t firstEqual(const Elements& items, const Value& x, size_t maxBytes = 0);

}  // namespace velk
