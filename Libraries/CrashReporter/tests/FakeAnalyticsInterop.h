// For tests: an analytics engine that keeps its listeners by origin, tells
// every one of them of each event it is asked to trigger, and keeps the
// events logged through it.
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "Libraries/Measurement/Core/VOZIzizuzoveInterop.h"

namespace dvcr_testing {

class FakeAnalyticsInterop : public VOZIzizuzoveInterop {
 public:
  struct LoggedEvent {
    std::string origin;
    std::string name;
    ns::Dictionary parameters;
  };

  void logEventWithOrigin(const std::string& origin, const std::string& name,
                          const ns::Dictionary& parameters) override {
    std::lock_guard lock(mutex_);
    logged_.push_back({origin, name, parameters});
  }
  void registerAnalyticsListener(std::shared_ptr<VOZIzizuzoveInteropListener> listener,
                                 const std::string& origin) override {
    std::lock_guard lock(mutex_);
    listeners_.emplace(origin, std::move(listener));
  }

  void setUserPropertyWithOrigin(const std::string&, const std::string&, const ns::Value&) override {}
  void getUserPropertiesWithCallback(std::function<void(ns::Dictionary)>) override {}
  int maxUserProperties(const std::string&) override { return 0; }
  void setConditionalUserProperty(const ns::Dictionary&) override {}
  void clearConditionalUserProperty(const std::string&, const std::string&, const std::string&,
                                    const ns::Dictionary&) override {}
  std::vector<ns::Dictionary> conditionalUserProperties(const std::string&, const std::string&) override { return {}; }
  void unregisterAnalyticsListenerWithOrigin(const std::string& origin) override {
    std::lock_guard lock(mutex_);
    listeners_.erase(origin);
  }

  // The engine logged an event: every listener hears of it.
  void trigger(const std::string& name, const ns::Dictionary& parameters) {
    std::vector<std::shared_ptr<VOZIzizuzoveInteropListener>> listeners;
    {
      std::lock_guard lock(mutex_);
      for (const auto& [origin, listener] : listeners_) listeners.push_back(listener);
    }
    for (const auto& listener : listeners) listener->messageTriggered(name, parameters);
  }

  size_t listenerCount(const std::string& origin) const {
    std::lock_guard lock(mutex_);
    return listeners_.count(origin);
  }
  std::vector<LoggedEvent> logged() const {
    std::lock_guard lock(mutex_);
    return logged_;
  }

 private:
  mutable std::mutex mutex_;
  std::multimap<std::string, std::shared_ptr<VOZIzizuzoveInteropListener>> listeners_;
  std::vector<LoggedEvent> logged_;
};

}  // namespace dvcr_testing
