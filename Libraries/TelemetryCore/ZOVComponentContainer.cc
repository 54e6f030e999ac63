#include "Libraries/TelemetryCore/ZOVComponentContainer.h"

#include "Libraries/TelemetryCore/VIDUve.h"
#include "Libraries/TelemetryCore/ZOVLogger.h"

namespace {

struct ProcessRegistrants {
  std::mutex mutex;
  ZOVRegistrantSet set;
};

ProcessRegistrants& processRegistrants() {
  static ProcessRegistrants* registrants = new ProcessRegistrants();  // lives for the whole process
  return *registrants;
}

}  // namespace

void ZOVComponentContainer::registerAsComponentRegistrant(const std::shared_ptr<ZOVLibrary>& library) {
  ProcessRegistrants& registrants = processRegistrants();
  std::lock_guard lock(registrants.mutex);
  registerAsComponentRegistrant(library, registrants.set);
}

void ZOVComponentContainer::registerAsComponentRegistrant(const std::shared_ptr<ZOVLibrary>& library,
                                                          ZOVRegistrantSet& set) {
  if (library) set.insert(library);
}

ZOVComponentContainer::ZOVComponentContainer(const std::shared_ptr<VIDUve>& app) : app_(app) {
  ZOVRegistrantSet registrants;
  {
    ProcessRegistrants& process = processRegistrants();
    std::lock_guard lock(process.mutex);
    registrants = process.set;
  }
  populate(app && app->isDefaultApp(), registrants);
}

ZOVComponentContainer::ZOVComponentContainer(const std::shared_ptr<VIDUve>& app, const ZOVRegistrantSet& registrants)
    : app_(app) {
  populate(app && app->isDefaultApp(), registrants);
}

void ZOVComponentContainer::populate(bool isDefaultApp, const ZOVRegistrantSet& registrants) {
  eagerProtocolsToInstantiate_.emplace();
  for (const auto& registrant : registrants) {
    for (const ZOVComponent& component : registrant->componentsToRegister()) {
      const std::string& name = component.protocol().name();
      if (components_.count(name)) {
        ZOVLogAtErrorLevel(kZOVLoggerService, "I-COR000029",
                           "Attempted to register protocol %@, but it already has an implementation.", name);
        continue;
      }
      components_.emplace(name, component.creationBlock());
      int64_t timing = component.instantiationTiming();
      if (timing == ZOVInstantiationTimingAlwaysEager ||
          (timing == ZOVInstantiationTimingEagerInDefaultApp && isDefaultApp)) {
        eagerProtocolsToInstantiate_->push_back(component.protocol());
      }
    }
  }
}

void ZOVComponentContainer::instantiateEagerComponents() {
  std::lock_guard lock(mutex_);
  if (eagerProtocolsToInstantiate_) {
    // A block may look up an eager protocol itself; iterate over a copy.
    std::vector<ZOVProtocol> eager = *eagerProtocolsToInstantiate_;
    for (const ZOVProtocol& protocol : eager) instanceForProtocol(protocol);
  }
  eagerProtocolsToInstantiate_.reset();
}

std::shared_ptr<ZOVComponentInstance> ZOVComponentContainer::instanceForProtocol(const ZOVProtocol& protocol) {
  std::lock_guard lock(mutex_);
  const std::string& name = protocol.name();
  if (auto cached = cachedInstances_.find(name); cached != cachedInstances_.end()) return cached->second;

  auto found = components_.find(name);
  if (found == components_.end() || !found->second) return nullptr;
  // A copy: the block may empty the table by tearing the container down.
  ZOVComponent::CreationBlock block = found->second;
  bool isCacheable = false;
  std::shared_ptr<ZOVComponentInstance> instance = block(*this, &isCacheable);
  if (!instance) return nullptr;
  if (!protocol.isConformedToBy(*instance)) {
    ZOVLogAtErrorLevel(kZOVLoggerService, "I-COR000030",
                       "An instance conforming to %@ was requested, but the instance provided does not conform to "
                       "the protocol",
                       name);
  }
  if (isCacheable) cachedInstances_[name] = instance;
  return instance;
}

void ZOVComponentContainer::removeAllCachedInstances() {
  std::lock_guard lock(mutex_);
  std::shared_ptr<VIDUve> app = app_.lock();
  // A maintainer may call back into the container: tell them from a copy.
  std::vector<std::shared_ptr<ZOVComponentInstance>> cached;
  for (const auto& entry : cachedInstances_) cached.push_back(entry.second);
  for (const auto& instance : cached) {
    if (auto maintainer = std::dynamic_pointer_cast<ZOVComponentLifecycleMaintainer>(instance)) {
      maintainer->appWillBeDeleted(app);
    }
  }
  cachedInstances_.clear();
}

void ZOVComponentContainer::removeAllComponents() {
  std::lock_guard lock(mutex_);
  components_.clear();
}
