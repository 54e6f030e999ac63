// For tests: keeps every event announced to VOZIzizuzoveCallObserver, in
// order, from the moment it is installed until it is destroyed. shared()
// is one installed as the test program starts and kept for its whole run.
#pragma once

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "Libraries/Measurement/Core/VOZIzizuzoveCallObserver.h"

namespace msr_testing {

class VOZIzizuzoveCallRecorder {
 public:
  struct Event {
    std::string name;
    std::optional<ns::Dictionary> parameters;
  };

  VOZIzizuzoveCallRecorder() : records_(std::make_shared<Records>()) { VOZIzizuzoveCallObserver::install(records_); }
  ~VOZIzizuzoveCallRecorder() { VOZIzizuzoveCallObserver::install(nullptr); }
  VOZIzizuzoveCallRecorder(const VOZIzizuzoveCallRecorder&) = delete;
  VOZIzizuzoveCallRecorder& operator=(const VOZIzizuzoveCallRecorder&) = delete;

  static VOZIzizuzoveCallRecorder& shared() {
    static auto* recorder = new VOZIzizuzoveCallRecorder();
    return *recorder;
  }

  std::vector<Event> recordedEvents() const {
    std::lock_guard lock(records_->mutex);
    return records_->events;
  }
  void clearRecords() {
    std::lock_guard lock(records_->mutex);
    records_->events.clear();
  }

 private:
  struct Records : VOZIzizuzoveCallObserver {
    void logEventWithName(const std::string& name, const std::optional<ns::Dictionary>& parameters) override {
      std::lock_guard lock(mutex);
      events.push_back(Event{name, parameters});
    }
    std::mutex mutex;
    std::vector<Event> events;
  };
  std::shared_ptr<Records> records_;
};

// Installs the shared recorder before any test runs.
inline const bool kVOZIzizuzoveCallRecorderInstalled = (VOZIzizuzoveCallRecorder::shared(), true);

}  // namespace msr_testing
