// List elements: boxing compact cells when their identity is needed, and
// making them compact again when nobody but the array holds them.
#include <cassert>

#include "value/value.h"

namespace velk {

ElementCell::ElementCell(ValueRef v) {
  if (v.unique() && fits(*v)) {
    // Nobody else holds the Value: nobody can tell it from a compact cell.
    bits_ = compactBits(std::move(*v));
    return;
  }
  bits_ = reinterpret_cast<uintptr_t>(v.detach());
  assert((bits_ & kTagMask) == kBoxed && bits_ != 0);
}

Value* ElementCell::box(Value* spare) {
  assert(!isBoxed());
  Value* v;
  if (!spare) {
    v = newValue(compactValue()).detach();
    release();
  } else {
    // The spare holds nothing but an integer or a text left empty: setting
    // the type, the integer and the text makes it the element. The cell's
    // count on its text passes to the Value.
    v = spare;
    v->typeName = isInteger() ? kInteger : kString;
    v->intValue = isInteger() ? integer() : 0;
    if (isText()) v->text = Text::adoptRep(textRep());
  }
  assert((reinterpret_cast<uintptr_t>(v) & kTagMask) == 0);
  bits_ = reinterpret_cast<uintptr_t>(v);
  return v;
}

Value* ElementCell::compactIfAlone(bool keep) {
  if (!isBoxed()) return nullptr;
  ValueRef v = ValueRef::adopt(boxedValue());
  if (v.unique() && fits(*v)) {
    bits_ = compactBits(std::move(*v));  // v holds the old count
    if (keep) return v.detach();         // its text was taken, its integer is overwritten
    return nullptr;
  }
  (void)v.detach();  // the cell keeps its count
  return nullptr;
}

ValueRef Elements::boxAt(size_t i) const {
  Rep& rep = *rep_;
  // The cells boxed before are made compact again if they are alone now; the
  // others stay remembered, the oldest forgotten when there is no room.
  // The first Value so freed becomes the new element's: walking a list by
  // `index` or `each` then makes no Value at all after the first.
  size_t kept = 0;
  Value* spare = nullptr;
  for (size_t k = 0; k < rep.recentCount; ++k) {
    ElementCell& c = rep.cells[rep.recent[k]];
    if (Value* freed = c.compactIfAlone(!spare)) spare = freed;
    if (c.isBoxed()) rep.recent[kept++] = rep.recent[k];
  }
  if (kept == Rep::kRecent) {
    for (size_t k = 1; k < kept; ++k) rep.recent[k - 1] = rep.recent[k];
    --kept;
  }
  rep.recent[kept++] = i;
  rep.recentCount = kept;
  return ValueRef(rep.cells[i].box(spare));
}

bool Elements::passBox(size_t from, size_t to, Value* held) const {
  ElementCell& source = rep_->cells[from];
  ElementCell& target = rep_->cells[to];
  if (source.boxed() != held || target.isBoxed() || !ElementCell::fits(*held)) return false;
  ValueRef probe = ValueRef::adopt(held);          // the array's count
  const bool alone = probe.holders() == 2;         // and the caller's, no other
  (void)probe.detach();
  if (!alone) return false;
  source.bits_ = ElementCell::compactBits(std::move(*held));
  target.box(held);  // the count `from` held passes to `to`
  return true;
}

Elements::Rep::~Rep() = default;

void Elements::erase(size_t i) {
  std::vector<ElementCell>& cells = own();
  cells.erase(cells.begin() + static_cast<std::ptrdiff_t>(i));
  rep_->recentCount = 0;  // the positions moved
}

void Elements::copyShared() {
  // Both copies must keep sharing every element: a compact cell is boxed in
  // the shared array before its reference is copied.
  for (ElementCell& c : rep_->cells)
    if (!c.isBoxed()) c.box();
  rep_ = makeRef<Rep>(rep_->cells);
}

}  // namespace velk
