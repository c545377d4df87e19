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

Value* ElementCell::box() {
  assert(!isBoxed());
  Value* v = newValue(compactValue()).detach();
  assert((reinterpret_cast<uintptr_t>(v) & kTagMask) == 0);
  release();
  bits_ = reinterpret_cast<uintptr_t>(v);
  return v;
}

void ElementCell::compactIfAlone() {
  if (!isBoxed()) return;
  ValueRef v = ValueRef::adopt(boxedValue());
  if (v.unique() && fits(*v)) {
    bits_ = compactBits(std::move(*v));  // v holds the old count, and drops it
    return;
  }
  (void)v.detach();  // the cell keeps its count
}

ValueRef Elements::boxAt(size_t i) const {
  Rep& rep = *rep_;
  // The cells boxed before are made compact again if they are alone now; the
  // others stay remembered, the oldest forgotten when there is no room.
  size_t kept = 0;
  for (size_t k = 0; k < rep.recentCount; ++k) {
    ElementCell& c = rep.cells[rep.recent[k]];
    c.compactIfAlone();
    if (c.isBoxed()) rep.recent[kept++] = rep.recent[k];
  }
  if (kept == Rep::kRecent) {
    for (size_t k = 1; k < kept; ++k) rep.recent[k - 1] = rep.recent[k];
    --kept;
  }
  rep.recent[kept++] = i;
  rep.recentCount = kept;
  return ValueRef(rep.cells[i].box());
}

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
