// A free list of equal-sized blocks, for objects made and dropped at nearly
// every step (Values, the heads of variable maps): taking a block and
// giving it back cost a few instructions instead of a trip through the
// general allocator.
//
// Blocks are carved from large chunks kept until the process ends (linked
// through their first word, so that they stay reachable); each thread has its
// own list, and a block returns to the list of whichever thread drops it.
// Built with the address sanitizer, every block comes from the general
// allocator instead, so that a use after free is still caught.
#pragma once

#include <cstddef>
#include <new>

namespace velk {

#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool kPoolBlocks = false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
inline constexpr bool kPoolBlocks = false;
#else
inline constexpr bool kPoolBlocks = true;
#endif
#else
inline constexpr bool kPoolBlocks = true;
#endif

// Blocks of `kBlock` bytes, aligned for any object.
template <size_t kBlock>
class BlockPool {
  static constexpr size_t kAlign = alignof(std::max_align_t);
  static constexpr size_t kStride = (kBlock + kAlign - 1) / kAlign * kAlign;
  static constexpr size_t kChunkBytes = 64 * 1024;
  static constexpr size_t kPerChunk = (kChunkBytes - kAlign) / kStride;
  static_assert(kPerChunk > 0, "a block larger than a chunk");

 public:
  static void* take() {
    if constexpr (!kPoolBlocks) return ::operator new(kBlock);
    State& s = state;
    if (Free* b = s.free) {
      s.free = b->next;
      return b;
    }
    if (s.next == s.end) refill(s);
    void* b = s.next;
    s.next += kStride;
    return b;
  }
  static void give(void* p) noexcept {
    if (!p) return;
    if constexpr (!kPoolBlocks) {
      ::operator delete(p);
    } else {
      auto* b = static_cast<Free*>(p);
      b->next = state.free;
      state.free = b;
    }
  }

 private:
  struct Free {
    Free* next;
  };
  struct State {
    Free* free = nullptr;
    char* next = nullptr;
    char* end = nullptr;
    void* chunks = nullptr;
  };
  [[gnu::noinline]] static void refill(State& s) {
    char* chunk = static_cast<char*>(::operator new(kChunkBytes));
    *reinterpret_cast<void**>(chunk) = s.chunks;
    s.chunks = chunk;
    s.next = chunk + kAlign;
    s.end = s.next + kPerChunk * kStride;
  }
  static inline thread_local constinit State state;
};

// The allocation functions of a pooled class T: blocks of exactly one T from
// its pool; anything of another size (a derived class) from the general
// allocator.
template <class T>
void* takePooled(size_t size) {
  return size == sizeof(T) ? BlockPool<sizeof(T)>::take() : ::operator new(size);
}
template <class T>
void givePooled(void* p, size_t size) noexcept {
  if (size == sizeof(T))
    BlockPool<sizeof(T)>::give(p);
  else
    ::operator delete(p);
}

}  // namespace velk
