// Runs a block exactly once however many threads ask at the same moment;
// late callers wait until the first one finished. (Prefer a function-local
// static where the result is an object.)
#pragma once

#include <functional>
#include <mutex>

namespace dispatch {

class Once {
 public:
  void call(const std::function<void()>& block) { std::call_once(flag_, block); }

 private:
  std::once_flag flag_;
};

}  // namespace dispatch
