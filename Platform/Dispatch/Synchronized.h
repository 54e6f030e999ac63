// synchronized(object, block): runs the block holding a recursive lock
// that belongs to `object`'s address, like the platform's per-object lock.
// Distinct objects never share a lock, so nesting locks of two objects
// cannot deadlock against unrelated code.
#pragma once

#include <utility>

namespace dispatch {

// Holds the lock of `object` for its lifetime.
class SynchronizedScope {
 public:
  explicit SynchronizedScope(const void* object);
  ~SynchronizedScope();
  SynchronizedScope(const SynchronizedScope&) = delete;
  SynchronizedScope& operator=(const SynchronizedScope&) = delete;

 private:
  const void* object_;
  void* entry_;
};

template <class F>
decltype(auto) synchronized(const void* object, F&& block) {
  SynchronizedScope scope(object);
  return std::forward<F>(block)();
}

}  // namespace dispatch
