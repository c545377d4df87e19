// The free list Values come from: blocks of exactly one Value, carved from
// large chunks and reused once dropped. Built with the address sanitizer,
// every Value comes from the general allocator instead, so that a use after
// free is still caught.
#include <cstddef>
#include <new>

#include "value/value.h"

namespace velk {
namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kPooled = false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kPooled = false;
#else
constexpr bool kPooled = true;
#endif
#else
constexpr bool kPooled = true;
#endif

constexpr size_t kChunkBytes = 64 * 1024;

struct FreeBlock {
  FreeBlock* next;
};

// One thread's pool. Chunks are kept until the process ends, linked through
// their first word (so that they stay reachable); a chunk's blocks return to
// the free list of whichever thread drops them. Per thread, not per
// interpreter: Values are made and dropped everywhere (a test's locals, the
// parse cache's literals) with no interpreter at hand, and a per-thread pool
// needs no lock.
struct Pool {
  FreeBlock* free = nullptr;
  char* next = nullptr;
  char* end = nullptr;
  void* chunks = nullptr;
};

thread_local constinit Pool pool;

constexpr size_t kBlock = sizeof(Value);
constexpr size_t kHeader = alignof(std::max_align_t);
static_assert(kHeader >= sizeof(void*) && kBlock % alignof(Value) == 0);

[[gnu::noinline]] void refill(Pool& p) {
  char* chunk = static_cast<char*>(::operator new(kChunkBytes));
  *reinterpret_cast<void**>(chunk) = p.chunks;
  p.chunks = chunk;
  p.next = chunk + kHeader;
  p.end = p.next + (kChunkBytes - kHeader) / kBlock * kBlock;
}

}  // namespace

void* Value::operator new(size_t size) {
  if (!kPooled || size != kBlock) return ::operator new(size);
  Pool& p = pool;
  if (FreeBlock* b = p.free) {
    p.free = b->next;
    return b;
  }
  if (p.next == p.end) refill(p);
  void* b = p.next;
  p.next += kBlock;
  return b;
}

void Value::operator delete(void* ptr, size_t size) noexcept {
  if (!ptr) return;
  if (!kPooled || size != kBlock) {
    ::operator delete(ptr);
    return;
  }
  Pool& p = pool;
  auto* b = static_cast<FreeBlock*>(ptr);
  b->next = p.free;
  p.free = b;
}

}  // namespace velk
