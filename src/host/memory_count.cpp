// The velk executable's own operator new and delete: small blocks from
// size classes of their own, and the memory in use counted.
//
// Small blocks. A run takes and gives back blocks of many small sizes at
// nearly every step (texts, token lists, list arrays, map entries), and
// malloc spends well over a hundred instructions on each when sizes mix.
// Every request of up to kMaxSmall bytes is served instead from a size
// class: a per-thread free list over blocks carved from one reserved range
// of address space, a stretch of it per class, so that a block's class is
// told by where it lies. A thread takes a grab of a stretch at a time and
// makes it writable then. What does not fit (a larger block, a class whose
// stretch is used up, a process whose address space is bounded) comes from
// malloc as before. A block goes back to the list of whichever thread gives
// it back; the range is kept until the process ends. Once counting has
// started, blocks come from malloc alone, so that what the count bounds is
// what the process holds (a freed small block serves its own class only).
//
// Counting. Values, texts, lists and maps all come from operator new, so the
// count is the memory a run holds, read in one load, where asking the
// allocator (mallinfo2) walks every free block and grows slow as the heap
// breaks up. Until counting starts the operators pay one test of a flag that
// never changes once the run has begun.
//
// Built into the executable alone, never into velk_core: the unit tests and
// the fuzz targets keep the library's operators (the fuzz targets measure
// with the sanitizer's allocator). With the address sanitizer, which brings
// its own operators, the sanitizer's count is read instead.
#include "host/memory_count.h"

#include <malloc.h>
#include <sys/mman.h>
#include <sys/resource.h>

#include <atomic>
#include <cstdint>
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

namespace small {

// The range wants a 64-bit address space; elsewhere malloc serves every
// block.
constexpr bool kSmallBlocks = sizeof(void*) >= 8;
constexpr size_t kMaxSmall = 512;
// Class 0 is unused; classes 1 to 16 are 16 to 256 bytes in steps of 16,
// classes 17 to 20 are 320 to 512 in steps of 64.
constexpr size_t kClasses = 21;
constexpr int kStretchShift = kSmallBlocks ? 29 : 20;  // 512 MiB of address space a class
constexpr size_t kStretch = size_t{1} << kStretchShift;
constexpr size_t kRange = kStretch * kClasses;
constexpr size_t kGrab = 128 * 1024;
// No user-space address lies within kRange above this one, null included, so
// that before the range is reserved no block reads as one of its own.
constexpr uintptr_t kNoRange = ~uintptr_t{0} << (kSmallBlocks ? 47 : 24);

inline size_t classOf(size_t n) { return n <= 256 ? ((n + 15) >> 4) | (n == 0) : 16 + ((n - 193) >> 6); }
inline size_t classBytes(size_t c) { return c <= 16 ? c * 16 : 256 + (c - 16) * 64; }

std::atomic<uintptr_t> rangeBase{kNoRange};
std::atomic<bool> unavailable{false};
std::atomic<size_t> grabbed[kClasses];  // bytes of each stretch handed to threads

struct Free {
  Free* next;
};
// A thread's blocks of one class: those given back, then the rest of its
// last grab.
struct Lane {
  Free* free;
  char* next;
  char* end;
};
thread_local constinit Lane lanes[kClasses] = {};

uintptr_t reserveRange() {
  // A bounded address space is left to malloc alone: the reserved range
  // would count against the bound.
  struct rlimit rl {};
  if (!kSmallBlocks || getrlimit(RLIMIT_AS, &rl) != 0 || rl.rlim_cur != RLIM_INFINITY) return kNoRange;
  void* p = mmap(nullptr, kRange, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
  if (p == MAP_FAILED) return kNoRange;
  // Pages of 4 KiB, even where huge pages are the system's default, so that
  // a class that is barely used holds no more than it touches.
  madvise(p, kRange, MADV_NOHUGEPAGE);
  return reinterpret_cast<uintptr_t>(p);
}

// A new grab of class c's stretch for this thread, its first block given at
// once; null when there is none (malloc serves the request then).
[[gnu::noinline]] void* grab(size_t c) {
  if (unavailable.load(std::memory_order_relaxed)) return nullptr;
  static const uintptr_t base = reserveRange();  // once, whichever thread asks first
  if (base == kNoRange) {
    unavailable.store(true, std::memory_order_relaxed);
    return nullptr;
  }
  rangeBase.store(base, std::memory_order_relaxed);
  size_t offset = grabbed[c].fetch_add(kGrab, std::memory_order_relaxed);
  if (offset > kStretch - kGrab) return nullptr;
  char* start = reinterpret_cast<char*>(base + c * kStretch + offset);
  if (mprotect(start, kGrab, PROT_READ | PROT_WRITE) != 0) return nullptr;
  const size_t bytes = classBytes(c);
  Lane& lane = lanes[c];
  lane.next = start + bytes;
  lane.end = start + kGrab / bytes * bytes;
  return start;
}

inline void* take(size_t n) {
  const size_t c = classOf(n);
  Lane& lane = lanes[c];
  if (Free* b = lane.free) {
    lane.free = b->next;
    return b;
  }
  if (lane.next != lane.end) {
    void* b = lane.next;
    lane.next += classBytes(c);
    return b;
  }
  return grab(c);
}

// The class of a block of the range, else 0.
inline size_t classOfBlock(void* p) {
  if (!kSmallBlocks) return 0;
  uintptr_t offset = reinterpret_cast<uintptr_t>(p) - rangeBase.load(std::memory_order_relaxed);
  return offset < kRange ? offset >> kStretchShift : 0;
}

inline void give(void* p, size_t c) {
  auto* b = static_cast<Free*>(p);
  Lane& lane = lanes[c];
  b->next = lane.free;
  lane.free = b;
}

}  // namespace small

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

// A small block first, unless counting; without counting, anything else is
// the library's own operators (malloc(0), like a small block of 0 bytes,
// gives a block of its own, as operator new must).
inline void* allocate(size_t n) {
  if (small::kSmallBlocks && n <= small::kMaxSmall && !counting) [[likely]] {
    if (void* p = small::take(n)) [[likely]]
      return p;
  }
  if (counting) [[unlikely]]
    return allocateCounted(n);
  if (void* p = std::malloc(n)) [[likely]]
    return p;
  return allocateAfterFailure(n);
}

inline void release(void* p) noexcept {
  if (size_t c = small::classOfBlock(p)) [[likely]] {
    small::give(p, c);
    return;
  }
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
