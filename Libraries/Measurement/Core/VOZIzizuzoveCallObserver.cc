#include "Libraries/Measurement/Core/VOZIzizuzoveCallObserver.h"

#include <mutex>

namespace {

struct Installed {
  std::mutex mutex;
  std::shared_ptr<VOZIzizuzoveCallObserver> observer;
};

Installed& installed() {
  static auto* instance = new Installed();
  return *instance;
}

}  // namespace

void VOZIzizuzoveCallObserver::install(std::shared_ptr<VOZIzizuzoveCallObserver> observer) {
  std::lock_guard lock(installed().mutex);
  installed().observer = std::move(observer);
}

void VOZIzizuzoveCallObserver::willLogEventWithName(const std::string& name,
                                                    const std::optional<ns::Dictionary>& parameters) {
  std::shared_ptr<VOZIzizuzoveCallObserver> observer;
  {
    std::lock_guard lock(installed().mutex);
    observer = installed().observer;
  }
  if (observer) observer->logEventWithName(name, parameters);
}
