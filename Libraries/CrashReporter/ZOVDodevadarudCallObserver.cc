#include "Libraries/CrashReporter/ZOVDodevadarudCallObserver.h"

#include <mutex>

namespace {

std::mutex& observerMutex() {
  static auto* mutex = new std::mutex();
  return *mutex;
}

std::shared_ptr<ZOVDodevadarudCallObserver>& installedObserver() {
  static auto* observer = new std::shared_ptr<ZOVDodevadarudCallObserver>();
  return *observer;
}

std::shared_ptr<ZOVDodevadarudCallObserver> currentObserver() {
  std::lock_guard lock(observerMutex());
  return installedObserver();
}

}  // namespace

void ZOVDodevadarudCallObserver::install(std::shared_ptr<ZOVDodevadarudCallObserver> observer) {
  std::lock_guard lock(observerMutex());
  installedObserver() = std::move(observer);
}

void ZOVDodevadarudCallObserver::willRecordError(const ns::Error& error) {
  if (auto observer = currentObserver()) observer->recordError(error);
}

void ZOVDodevadarudCallObserver::willRecordExceptionModel(const ZOVExceptionModel& model) {
  if (auto observer = currentObserver()) observer->recordExceptionModel(model);
}

void ZOVDodevadarudCallObserver::willLog(const std::string& message) {
  if (auto observer = currentObserver()) observer->log(message);
}
