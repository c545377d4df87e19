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

namespace {

// A new Value for a cell to be boxed in, when no Value was freed for it: kept
// out of boxAt, whose usual path then needs no frame for the allocation.
[[gnu::noinline]] Value* freshValue() { return newValue().detach(); }
// Drops a Value freed from a cell when another was kept for reuse.
[[gnu::noinline]] void dropValue(Value* v) { (void)ValueRef::adopt(v); }

}  // namespace

Value* Elements::boxAt(size_t i) const {
  Rep& rep = *rep_;
  ElementCell* const cells = rep.cells.data();
  // The cells boxed before are made compact again if they are alone now; the
  // others stay remembered, the oldest forgotten when there is no room.
  // The first Value so freed becomes the new element's: walking a list by
  // `index` or `each` then makes no Value at all after the first.
  size_t kept = 0;
  Value* spare = nullptr;
  const size_t count = rep.recentCount;
  for (size_t k = 0; k < count; ++k) {
    const size_t at = rep.recent[k];
    ElementCell& c = cells[at];
    if (!c.isBoxed()) continue;
    Value* v = c.boxedValue();
    if (ValueRef::holdersOf(v) != 1 || !ElementCell::fits(*v)) {
      rep.recent[kept++] = at;
      continue;
    }
    c.bits_ = ElementCell::compactBits(std::move(*v));  // v keeps the cell's count
    if (spare)
      dropValue(v);  // its text was taken
    else
      spare = v;  // its integer is overwritten, its text was taken
  }
  if (kept == Rep::kRecent) {
    for (size_t k = 1; k < kept; ++k) rep.recent[k - 1] = rep.recent[k];
    --kept;
  }
  rep.recent[kept] = i;
  rep.recentCount = kept + 1;
  Value* v = spare ? spare : freshValue();
  cells[i].boxInto(v);
  return v;
}

bool Elements::passBox(size_t from, size_t to, Value* held) const {
  ElementCell& source = rep_->cells[from];
  ElementCell& target = rep_->cells[to];
  if (source.bits_ != reinterpret_cast<uintptr_t>(held) || target.isBoxed()) return false;
  // The array's count and the caller's, no other.
  if (ValueRef::holdersOf(held) != 2 || !ElementCell::fits(*held)) return false;
  source.bits_ = ElementCell::compactBits(std::move(*held));
  target.boxInto(held);  // the count `from` held passes to `to`
  return true;
}

Elements::Rep::~Rep() = default;

void Elements::erase(size_t i) {
  std::vector<ElementCell>& cells = own();
  cells.erase(cells.begin() + static_cast<std::ptrdiff_t>(i));
  rep_->recentCount = 0;  // the positions moved
}

// A list made by adding to an empty one (`list` and then `add`) mostly gets
// a few elements: room for four at once spares the growth through one and
// two.
void Elements::makeRep() {
  rep_ = makeRef<Rep>();
  rep_->cells.reserve(4);
}

void Elements::copyShared() {
  // Both copies must keep sharing every element: a compact cell is boxed in
  // the shared array before its reference is copied.
  for (ElementCell& c : rep_->cells)
    if (!c.isBoxed()) c.boxInto(newValue().detach());
  rep_ = makeRef<Rep>(rep_->cells);
}

}  // namespace velk
