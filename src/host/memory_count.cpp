// Counting the memory in use: the velk executable's own operator new and
// delete. Values, texts, lists and maps all come from operator new, so the
// count is the memory a run holds, read in one load, where asking the
// allocator (mallinfo2) walks every free block and grows slow as the heap
// breaks up. Until counting starts the operators are malloc and free behind
// one test of a flag that never changes once the run has begun.
//
// Built into the executable alone, never into velk_core: the unit tests and
// the fuzz targets keep the library's operators (the fuzz targets measure
// with the sanitizer's allocator). With the address sanitizer, which brings
// its own operators, the sanitizer's count is read instead.
#include "host/memory_count.h"

#include <malloc.h>

#include <atomic>
#include <cstdlib>
#include <new>

#if defined(__SANITIZE_ADDRESS__)
#define VELK_SANITIZER_COUNTS 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VELK_SANITIZER_COUNTS 1
#endif
#endif

#if defined(VELK_SANITIZER_COUNTS)
extern "C" size_t __sanitizer_get_current_allocated_bytes();

namespace velk::memory_count {
void start() {}
size_t inUse() { return __sanitizer_get_current_allocated_bytes(); }
}  // namespace velk::memory_count

#else

namespace {

// Set once, on the main thread, before the interpreter's thread is started
// (which orders it before every read there), and never cleared.
bool counting = false;
size_t inUseAtStart = 0;
// Blocks taken less blocks given back since the start: the main thread may
// still give back a block after the interpreter's thread took one, so it is
// atomic, and signed, since a block taken before the start may be given back
// after it.
std::atomic<std::ptrdiff_t> counted{0};

[[gnu::noinline]] void* allocateAfterFailure(size_t n) {
  for (;;) {
    std::new_handler handler = std::get_new_handler();
    if (!handler) throw std::bad_alloc();
    handler();
    if (void* p = std::malloc(n)) return p;
  }
}

[[gnu::noinline]] void* allocateCounted(size_t n) {
  void* p = std::malloc(n);
  if (!p) p = allocateAfterFailure(n);
  counted.fetch_add(static_cast<std::ptrdiff_t>(malloc_usable_size(p)), std::memory_order_relaxed);
  return p;
}

[[gnu::noinline]] void releaseCounted(void* p) noexcept {
  if (p) counted.fetch_sub(static_cast<std::ptrdiff_t>(malloc_usable_size(p)), std::memory_order_relaxed);
  std::free(p);
}

// The flag is tested before anything else, so that without counting these
// are no more than the library's own operators (malloc(0) gives a block of
// its own, as operator new must).
inline void* allocate(size_t n) {
  if (counting) [[unlikely]]
    return allocateCounted(n);
  if (void* p = std::malloc(n)) [[likely]]
    return p;
  return allocateAfterFailure(n);
}

inline void release(void* p) noexcept {
  if (counting) [[unlikely]]
    return releaseCounted(p);
  std::free(p);
}

}  // namespace

namespace velk::memory_count {

void start() {
  struct mallinfo2 info = mallinfo2();
  inUseAtStart = info.uordblks + info.hblkhd;
  counting = true;
}

size_t inUse() {
  std::ptrdiff_t total = static_cast<std::ptrdiff_t>(inUseAtStart) + counted.load(std::memory_order_relaxed);
  return total > 0 ? static_cast<size_t>(total) : 0;
}

}  // namespace velk::memory_count

void* operator new(size_t n) { return allocate(n); }
void* operator new[](size_t n) { return allocate(n); }
void* operator new(size_t n, const std::nothrow_t&) noexcept {
  try {
    return allocate(n);
  } catch (...) {
    return nullptr;
  }
}
void* operator new[](size_t n, const std::nothrow_t& tag) noexcept { return operator new(n, tag); }
void operator delete(void* p) noexcept { release(p); }
void operator delete[](void* p) noexcept { release(p); }
void operator delete(void* p, size_t) noexcept { release(p); }
void operator delete[](void* p, size_t) noexcept { release(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { release(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { release(p); }

#endif
