// The Value record: the one datum of the language, and how Values are shared.
//
// Every variable, list element, member, argument and result is a Value. A Value
// carries a slot for every kind of content at once (bytes, text, argument
// names, an integer, a float, elements, members) plus its typeName, and only
// typeName says which slot counts. Slots that do not belong to the current
// type keep whatever they held: a list converted to a string still carries its
// elements.
//
// Sharing. Variable maps, `elements` and `members` hold ValueRefs, shared
// handles to Values that live as long as any holder reaches them. Assignment
// copies content into an existing Value, so every holder sees the change;
// binding a name to another Value changes only that one map.
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
#include <string>
#include <string_view>
#include <vector>

#include "support/ref.h"
#include "support/text.h"
#include "value/varmap.h"

namespace velk {

// A type name. Every typeName is one of the eight texts below, so a TypeName
// is the address of its text and two names are equal when the addresses are.
class TypeName {
 public:
  constexpr explicit TypeName(const char* name) : name_(name) {}
  std::string_view text() const { return name_; }
  friend constexpr bool operator==(TypeName a, TypeName b) { return a.name_ == b.name_; }

 private:
  const char* name_;
};

inline constexpr char kIntegerText[] = "integer";
inline constexpr char kFloatText[] = "float";
inline constexpr char kStringText[] = "string";
inline constexpr char kListText[] = "list";
inline constexpr char kFuncText[] = "func";
inline constexpr char kBytesText[] = "bytes";
inline constexpr char kScaffoldText[] = "scaffold";
inline constexpr char kUnspecifiedText[] = "unspecified";

inline constexpr TypeName kInteger{kIntegerText};
inline constexpr TypeName kFloat{kFloatText};
inline constexpr TypeName kString{kStringText};
inline constexpr TypeName kList{kListText};
inline constexpr TypeName kFunc{kFuncText};
inline constexpr TypeName kBytes{kBytesText};
inline constexpr TypeName kScaffold{kScaffoldText};
inline constexpr TypeName kUnspecified{kUnspecifiedText};

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
// The element references of a list.
using Elements = SharedVector<ValueRef>;

class Value : public RefCounted {
 public:
  Bytes bytes;
  Text text;
  NameList argNames;
  int64_t intValue = 0;
  long double floatValue = 0;
  Elements elements;
  VarMap members;
  TypeName typeName = kUnspecified;

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
    bytes.swap(o.bytes);
    text.swap(o.text);
    argNames.swap(o.argNames);
    std::swap(intValue, o.intValue);
    std::swap(floatValue, o.floatValue);
    elements.swap(o.elements);
    members.swap(o.members);
    std::swap(typeName, o.typeName);
  }

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
};

inline ValueRef newValue(Value v) { return ValueRef(new Value(std::move(v))); }
inline ValueRef newValue() { return ValueRef(new Value()); }

// True for "integer" and "float".
inline bool isNumeric(const Value& v) { return v.typeName == kInteger || v.typeName == kFloat; }

// The one conversion routine: v converted to the type named by target. Fields
// other than the converted one keep their content.
Value convertTo(Value v, std::string_view target);
Value convertTo(Value v, TypeName target);

// The typed accessors: what convertTo of a copy of v would give in one field.
// They never change v.
Text asText(const Value& v);        // the display form
int64_t asInt(const Value& v);      // "stoi" for a string that holds no integer
long double asFloat(const Value& v);  // "stof" for a string that holds no float
const Elements& asElements(const Value& v);
Bytes asBytes(const Value& v);

// Equality behind "==", "!=" and `where`.
bool valueEquals(const Value& a, const Value& b);

}  // namespace velk
