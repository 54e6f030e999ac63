#include "Libraries/Measurement/EventEditing/MSRPEventEditing.h"

#include <mutex>

#include "Libraries/Measurement/EventEditing/testing/MSRPEventEditingTesting.h"

namespace {

struct LoadObserver {
  std::mutex mutex;
  std::function<std::optional<ns::Error>(const MSRPBProgram&)> function;
};

LoadObserver& loadObserver() {
  static LoadObserver* instance = new LoadObserver();
  return *instance;
}

}  // namespace

void MSRPEventEditing::setModuleCreator(MSRPModuleCreator creator, const std::u16string& name) {
  moduleCreators_.insert_or_assign(name, std::move(creator));
}

void MSRPEventEditing::loadProgram(const MSRPBProgram& program, ns::Error& error) {
  std::lock_guard lock(loadObserver().mutex);
  if (!loadObserver().function) return;
  if (std::optional<ns::Error> refusal = loadObserver().function(program)) error = *refusal;
}

MSRPModuleCreator MSRPEventEditingModuleCreatorForTesting(const MSRPEventEditing& engine, const std::u16string& name) {
  auto found = engine.moduleCreators_.find(name);
  return found == engine.moduleCreators_.end() ? MSRPModuleCreator() : found->second;
}

void MSRPEventEditingSetLoadObserverForTesting(
    std::function<std::optional<ns::Error>(const MSRPBProgram& program)> observer) {
  std::lock_guard lock(loadObserver().mutex);
  loadObserver().function = std::move(observer);
}
