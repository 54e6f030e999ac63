// ZULInterceptorRegistry: the interceptors of one delegate proxy, by
// identifier ("ZUL_" and the interceptor's address, as "%p" prints it),
// held weakly so that registering keeps nobody alive. Shared across
// threads: it is a ZULMutableDictionary, and forwarding walks a snapshot,
// so interceptors may come and go while it runs.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "Libraries/TelemetryFoundation/ZULMutableDictionary.h"
#include "Platform/Foundation/Format.h"

// "ZUL_0x..." for the object at `address`.
inline std::string ZULInterceptorIdentifier(const void* address) { return ns::format("%@%p", "ZUL_", address); }

template <class Interceptor>
class ZULInterceptorRegistry {
 public:
  // Stores `interceptor` (not null) under its identifier, replacing an
  // earlier entry of the same identifier; answers the identifier.
  std::string add(const std::shared_ptr<Interceptor>& interceptor) {
    std::string identifier = ZULInterceptorIdentifier(interceptor.get());
    entries_.setObject(interceptor, identifier);
    return identifier;
  }

  // Removes the entry when a live interceptor is registered under
  // `identifier`; false (nothing removed) otherwise.
  bool removeLive(const std::string& identifier) {
    auto entry = entries_.objectForKey(identifier);
    if (!entry || entry->expired()) return false;
    entries_.removeObjectForKey(identifier);
    return true;
  }

  // Calls `deliver` with each live interceptor of a snapshot; an entry whose
  // interceptor is gone is removed after `reportGone` heard its identifier.
  void forEachLive(const std::function<void(Interceptor&)>& deliver,
                   const std::function<void(const std::string& identifier)>& reportGone) {
    for (const auto& [identifier, weak] : entries_.dictionary()) {
      if (auto interceptor = weak.lock()) {
        deliver(*interceptor);
      } else {
        reportGone(identifier);
        entries_.removeObjectForKey(identifier);
      }
    }
  }

  size_t count() const { return entries_.count(); }
  void clear() { entries_.removeAllObjects(); }

 private:
  ZULMutableDictionary<std::string, std::weak_ptr<Interceptor>> entries_;
};
