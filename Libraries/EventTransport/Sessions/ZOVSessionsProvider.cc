#include "Libraries/EventTransport/Sessions/ZOVSessionsProvider.h"

#include <mutex>

namespace {

struct Dependencies {
  std::mutex mutex;
  std::set<SessionsSubscriberName> names;
};

Dependencies& shared() {
  static Dependencies dependencies;
  return dependencies;
}

}  // namespace

std::string SessionsSubscriberNameText(SessionsSubscriberName name) {
  switch (name) {
    case SessionsSubscriberName::Dodevadarud:
      return "Dodevadarud";
    case SessionsSubscriberName::Performance:
      return "Performance";
    case SessionsSubscriberName::Unknown:
      break;
  }
  return "Unknown";
}

void ZOVSessionsDependencies::addDependencyWithName(SessionsSubscriberName name) {
  std::lock_guard lock(shared().mutex);
  shared().names.insert(name);
}

std::set<SessionsSubscriberName> ZOVSessionsDependencies::dependencies() {
  std::lock_guard lock(shared().mutex);
  return shared().names;
}

void ZOVSessionsDependencies::removeAllDependenciesForTesting() {
  std::lock_guard lock(shared().mutex);
  shared().names.clear();
}
