// The free lists Values and their extras come from: blocks of exactly one
// Value (or ValueExtras), reused once dropped (see support/block_pool.h).
// Per thread, not per interpreter: Values are made and dropped everywhere (a
// test's locals, the parse cache's literals) with no interpreter at hand,
// and a per-thread pool needs no lock.
#include <cstddef>
#include <new>

#include "support/block_pool.h"
#include "value/value.h"

namespace velk {

void* Value::operator new(size_t size) { return takePooled<Value>(size); }
void Value::operator delete(void* ptr, size_t size) noexcept { givePooled<Value>(ptr, size); }
void* ValueExtras::operator new(size_t size) { return takePooled<ValueExtras>(size); }
void ValueExtras::operator delete(void* ptr, size_t size) noexcept { givePooled<ValueExtras>(ptr, size); }

}  // namespace velk
