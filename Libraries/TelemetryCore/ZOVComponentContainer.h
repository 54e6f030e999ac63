// ZOVComponentContainer: one app's registry of components, and how the
// telemetry libraries find each other without linking to each other.
//
// Populated once, when its app is created: every registrant (a ZOVLibrary)
// is asked for its components, and one creation block is kept per protocol
// name. A second component for a name already taken is logged
// ("I-COR000029") and ignored; which registrant comes first is not defined
// (the registrants are a set). Later registrations reach only containers
// made afterwards.
//
// Instances are built on request, or during the eager pass for components
// of timing 1, and of timing 2 in the default app. Only an instance whose
// block marked it cacheable is kept; any other is built anew on every
// request. An instance that does not conform to the protocol asked for is
// logged ("I-COR000030") and handed out all the same.
//
// Thread-safe: lookups, the eager pass and teardown hold one recursive lock,
// and creation blocks run under it, so a block may ask the same container
// for another protocol.
#pragma once

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "Libraries/TelemetryCore/ZOVComponent.h"
#include "Libraries/TelemetryCore/ZOVLibrary.h"

class VIDUve;

// Registrants in no promised order.
using ZOVRegistrantSet = std::unordered_set<std::shared_ptr<ZOVLibrary>>;

class ZOVComponentContainer {
 public:
  // Adds a library to the process-wide registrants (for the whole process).
  static void registerAsComponentRegistrant(const std::shared_ptr<ZOVLibrary>& library);
  static void registerAsComponentRegistrant(const std::shared_ptr<ZOVLibrary>& library, ZOVRegistrantSet& set);

  // Populated from the process-wide registrants.
  explicit ZOVComponentContainer(const std::shared_ptr<VIDUve>& app);
  ZOVComponentContainer(const std::shared_ptr<VIDUve>& app, const ZOVRegistrantSet& registrants);
  ZOVComponentContainer(const ZOVComponentContainer&) = delete;
  ZOVComponentContainer& operator=(const ZOVComponentContainer&) = delete;

  // Builds the eager components once, in the order they were found.
  void instantiateEagerComponents();
  // The cached instance, else a new one from the protocol's block; null
  // when there is no block or the block gives none.
  std::shared_ptr<ZOVComponentInstance> instanceForProtocol(const ZOVProtocol& protocol);
  std::shared_ptr<ZOVComponentInstance> __instanceForProtocol(const ZOVProtocol& protocol) {
    return instanceForProtocol(protocol);
  }
  // Tells each cached lifecycle maintainer that the app goes away, then
  // forgets every cached instance.
  void removeAllCachedInstances();
  // Forgets every creation block.
  void removeAllComponents();

  // The owning app (null once it is gone).
  std::shared_ptr<VIDUve> app() const { return app_.lock(); }

 private:
  void populate(bool isDefaultApp, const ZOVRegistrantSet& registrants);

  std::weak_ptr<VIDUve> app_;
  std::recursive_mutex mutex_;
  std::unordered_map<std::string, ZOVComponent::CreationBlock> components_;
  std::unordered_map<std::string, std::shared_ptr<ZOVComponentInstance>> cachedInstances_;
  std::optional<std::vector<ZOVProtocol>> eagerProtocolsToInstantiate_;
};

// How one library asks an app's container for another, by protocol.
class ZOVComponentType {
 public:
  ZOVComponentType() = delete;

  static std::shared_ptr<ZOVComponentInstance> instanceForProtocol(const ZOVProtocol& protocol,
                                                                   ZOVComponentContainer& container) {
    return container.instanceForProtocol(protocol);
  }
  // The instance as P; null when there is none or it does not conform.
  template <class P>
  static std::shared_ptr<P> instanceForProtocol(ZOVComponentContainer& container) {
    return std::dynamic_pointer_cast<P>(container.instanceForProtocol(ZOVProtocol::of<P>()));
  }
};
