// Values: conversion, the typed accessors, equality, and destruction without
// recursion.
#include "value/value.h"

#include <cmath>

#include "value/numbers.h"
#include "value/text_forms.h"

namespace velk {

const TypeName* typeNameFromText(std::string_view text) {
  static const TypeName all[] = {kInteger, kFloat,    kString,   kList,
                                 kFunc,    kBytes,    kScaffold, kUnspecified};
  for (const TypeName& t : all)
    if (t.text() == text) return &t;
  return nullptr;
}

// Destroying a Value releases its elements and members, which may release
// further Values, and so on down a chain of any length. While one Value is
// being destroyed, Values whose last reference goes are queued, and the
// outermost destruction works the queue off: the stack depth stays constant.
// The queue belongs to the thread, not to an interpreter: a Value's last
// handle can go anywhere (a test's local, a map shared by two runs), where no
// interpreter is at hand, and the destruction it starts runs on this thread's
// stack alone.
void DestroyShared<Value>::destroy(Value* v) {
  // A Value that holds no other Value ends the chain: destroying it at once
  // recurses no further (and a million list elements need no queue), nor
  // does it need a queue of its own.
  if (!v->mayHoldValues()) {
    // Its text is all it holds (the elements and the extras are empty, and
    // their destructors would do nothing): released here, the block goes
    // back to the pool without the rest of the destructor, which is too
    // large to be inlined here and would cost a call per dropped Value.
    v->text.~Text();
    Value::operator delete(v, sizeof(Value));
    return;
  }
  // The queue lives in the outermost destruction's frame; the thread only
  // knows where (a plain pointer, cheap to reach on every destruction).
  static thread_local constinit std::vector<Value*>* pending = nullptr;
  if (pending) {
    pending->push_back(v);
    return;
  }
  std::vector<Value*> queue;
  pending = &queue;
  delete v;
  while (!queue.empty()) {
    Value* next = queue.back();
    queue.pop_back();
    delete next;
  }
  pending = nullptr;
}

// Where Values are counted on to stay small (x86's ten-byte long double).
static_assert(std::numeric_limits<long double>::digits != 64 || sizeof(Value) <= 48);

constinit const ValueExtras Value::kNoExtras{};

namespace {

int64_t integerFromFloat(long double x) {
  if (std::isnan(x)) return INT32_MIN;
  long double t = std::trunc(x);
  if (t < -2147483648.0L || t > 2147483647.0L) return INT32_MIN;
  return static_cast<int64_t>(t);
}

}  // namespace

int64_t asIntOtherwise(const Value& v) {
  if (v.typeName == kString) return readInteger(v.text.view());
  if (v.typeName == kFloat) return integerFromFloat(v.floatValue);
  return 0;  // lists, funcs, bytes, scaffolds and unspecified Values hold no number
}

long double asFloatOtherwise(const Value& v) {
  if (v.typeName == kString) return readFloat(v.text.str());
  return 0;
}

Text asText(const Value& v, size_t maxBytes) { return displayText(v, maxBytes); }

const Elements& asElements(const Value& v) { return v.elements; }

Bytes asBytes(const Value& v) { return v.typeName == kBytes ? v.bytes() : Bytes(); }

Value convertTo(Value v, TypeName target, size_t maxBytes) {
  if (v.typeName == target) return v;
  if (target == kString) {
    v.text = displayText(v, maxBytes);
    v.typeName = kString;
  } else if (target == kFunc) {
    v.text = functionTextForm(v, maxBytes);
    v.typeName = kString;  // only brace blocks make Values of type "func"
  } else if (target == kInteger) {
    v.intValue = asInt(v);
    v.typeName = kInteger;
  } else if (target == kFloat) {
    v.floatValue = asFloat(v);
    v.typeName = kFloat;
  } else if (target == kBytes) {
    v.setBytes(Bytes());
    v.typeName = kBytes;
  }
  // "list", "scaffold" and "unspecified" change nothing.
  return v;
}

Value convertTo(Value v, std::string_view target, size_t maxBytes) {
  const TypeName* t = typeNameFromText(target);
  if (!t) return v;  // a name that names no type changes nothing
  return convertTo(std::move(v), *t, maxBytes);
}

bool valueEqualsOtherwise(const Value& a, const Value& b, size_t maxBytes) {
  // Two integers compare by their single-precision readings, as asFloat
  // reads them: what the general rules below would give, without building
  // display forms.
  if (a.typeName == kInteger && b.typeName == kInteger)
    return static_cast<float>(a.intValue) == static_cast<float>(b.intValue);
  if (a.typeName == kScaffold && b.typeName == kScaffold) {
    if (a.members().size() != b.members().size()) return false;
    bool same = true;
    a.members().forEach([&](const Text& name, const ValueRef& member) {
      if (same) {
        const ValueRef* other = b.members().findRef(name);
        same = other && *other == member;
      }
    });
    return same;
  }
  if (isNumeric(a) || isNumeric(b)) {
    long double x = asFloat(a);
    long double y = asFloat(b);
    return x == y;
  }
  return asText(a, maxBytes) == asText(b, maxBytes);
}

size_t firstEqual(const Elements& items, const Value& x, size_t maxBytes) {
  // Compact cells are compared where they lie, without a Value made for them,
  // by the rules valueEquals would apply to one.
  const size_t count = items.size();
  if (count == 0) return 0;
  const ElementCell* cells = &items.cell(0);  // read once: nothing here changes the array
  size_t i = 0;
  if (showsItsText(x)) {
    // A text against texts: their bytes, size first. Elements of any other
    // type take the general rule (a number reads x as a number and may fail).
    const std::string_view bytes = x.text.view();
    const size_t size = bytes.size();
    // The last bytes first: texts of one size that differ mostly differ
    // there (numbered names), and one byte costs less than a call.
    const char last = size ? bytes.back() : 0;
    auto same = [&](std::string_view other) {
      return other.size() == size && (size == 0 || (other.back() == last && other == bytes));
    };
    for (; i < count; ++i) {
      const ElementCell& c = cells[i];
      if (c.isText()) [[likely]] {
        if (same(c.textBytes())) return i;
      } else if (const Value* v = c.boxed(); v && showsItsText(*v)) {
        if (same(v->text.view())) return i;
      } else if (valueEquals(*items[i], x, maxBytes)) {
        return i;
      }
    }
    return i;
  }
  if (isNumeric(x)) {
    // A number against numbers: both as floats, x read once. Elements of
    // other types take the general rule, in the same order of reading.
    const long double y = asFloat(x);
    for (; i < count; ++i) {
      const ElementCell& c = cells[i];
      const Value* v = c.boxed();
      if (!v && c.isInteger()) {
        if (floatFromInteger(c.integer()) == y) return i;
      } else if (v && (v->typeName == kInteger || v->typeName == kFloat)) {
        if (asFloat(*v) == y) return i;
      } else if (valueEquals(*items[i], x, maxBytes)) {
        return i;
      }
    }
    return i;
  }
  while (i < count && !valueEquals(*items[i], x, maxBytes)) ++i;
  return i;
}

}  // namespace velk
