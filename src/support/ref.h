// Intrusive reference-counted handles, the ownership primitive of the whole
// interpreter. Everything runs on one thread, so the counts are plain integers:
// a copy of a handle is one increment, no atomic operation.
#pragma once

#include <cstdint>
#include <type_traits>
#include <utility>

namespace velk {

// Base of every shared object. Copying an object never copies its count: a
// copy is a new object that nobody refers to yet.
class RefCounted {
 public:
  RefCounted() = default;
  RefCounted(const RefCounted&) noexcept {}
  RefCounted& operator=(const RefCounted&) noexcept { return *this; }

 private:
  template <class T>
  friend class Ref;
  mutable uint32_t refs_ = 0;
};

// How an object is destroyed once its last handle goes: the destruction hook.
// Values specialise it to destroy without recursion (see varmap.h, value.cpp);
// everything else is simply deleted.
template <class T>
struct DestroyShared {
  static void destroy(T* p) { delete p; }
};

// A shared handle to a RefCounted object; null is a valid, empty handle.
template <class T>
class Ref {
 public:
  Ref() noexcept = default;
  explicit Ref(T* p) noexcept : p_(p) { retain(); }
  Ref(const Ref& o) noexcept : p_(o.p_) { retain(); }
  Ref(Ref&& o) noexcept : p_(o.p_) { o.p_ = nullptr; }
  // A handle to a derived or non-const object converts to one to its base or
  // const form.
  template <class U, class = std::enable_if_t<std::is_convertible_v<U*, T*>>>
  Ref(const Ref<U>& o) noexcept : p_(o.get()) {
    retain();
  }
  template <class U, class = std::enable_if_t<std::is_convertible_v<U*, T*>>>
  Ref(Ref<U>&& o) noexcept : p_(o.detach()) {}
  ~Ref() { release(); }

  Ref& operator=(const Ref& o) noexcept {
    T* old = p_;
    p_ = o.p_;
    retain();
    if (old && --old->refs_ == 0) destroy(old);
    return *this;
  }
  Ref& operator=(Ref&& o) noexcept {
    if (this != &o) {
      T* old = p_;
      p_ = o.p_;
      o.p_ = nullptr;
      if (old && --old->refs_ == 0) destroy(old);
    }
    return *this;
  }

  T* get() const noexcept { return p_; }
  T& operator*() const noexcept { return *p_; }
  T* operator->() const noexcept { return p_; }
  explicit operator bool() const noexcept { return p_ != nullptr; }
  bool unique() const noexcept { return p_ && p_->refs_ == 1; }
  // How many handles hold the object (0 for null).
  uint32_t holders() const noexcept { return p_ ? p_->refs_ : 0; }
  // How many handles hold *p, for an object held through detached counts.
  static uint32_t holdersOf(const T* p) noexcept { return p->refs_; }
  void swap(Ref& o) noexcept { std::swap(p_, o.p_); }
  // Takes over a count given up by detach(), without adding one.
  static Ref adopt(T* p) noexcept {
    Ref r;
    r.p_ = p;
    return r;
  }
  // Gives up the object without releasing it; the caller takes over the count.
  T* detach() noexcept {
    T* p = p_;
    p_ = nullptr;
    return p;
  }
  void reset() noexcept {
    release();
    p_ = nullptr;
  }
  friend bool operator==(const Ref& a, const Ref& b) noexcept { return a.p_ == b.p_; }

 private:
  void retain() noexcept {
    if (p_) ++p_->refs_;
  }
  void release() noexcept {
    if (p_ && --p_->refs_ == 0) destroy(p_);
  }
  static void destroy(T* p) noexcept { DestroyShared<std::remove_const_t<T>>::destroy(const_cast<std::remove_const_t<T>*>(p)); }
  T* p_ = nullptr;
};

template <class T, class... Args>
Ref<T> makeRef(Args&&... args) {
  return Ref<T>(new T(std::forward<Args>(args)...));
}

}  // namespace velk
