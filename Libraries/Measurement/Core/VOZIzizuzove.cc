#include "Libraries/Measurement/Core/VOZIzizuzove.h"

#include <mutex>

namespace {

struct Recorded {
  std::mutex mutex;
  std::vector<VOZIzizuzove::Event> events;
};

Recorded& recorded() {
  static Recorded* instance = new Recorded();
  return *instance;
}

}  // namespace

void VOZIzizuzove::logEventWithName(const std::string& name, const std::optional<ns::Dictionary>& parameters) {
  std::lock_guard lock(recorded().mutex);
  recorded().events.push_back(Event{name, parameters, "app"});
}

std::vector<VOZIzizuzove::Event> VOZIzizuzove::recordedEvents() {
  std::lock_guard lock(recorded().mutex);
  return recorded().events;
}

void VOZIzizuzove::clearRecordedEvents() {
  std::lock_guard lock(recorded().mutex);
  recorded().events.clear();
}
