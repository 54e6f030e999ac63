// ZOVComponent: what a telemetry library offers an app's component
// container for one protocol: when to build it, what it needs, and the
// block that builds it. ZOVDependency: one declared need (recorded, never
// evaluated). Both are immutable values.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "Libraries/TelemetryCore/ZOVProtocol.h"

class ZOVComponentContainer;

enum ZOVInstantiationTiming : int64_t {
  ZOVInstantiationTimingLazy = 0,               // built on first request
  ZOVInstantiationTimingAlwaysEager = 1,        // built when any app is configured
  ZOVInstantiationTimingEagerInDefaultApp = 2,  // eager in the default app, lazy in others
};

class ZOVDependency {
 public:
  // Required.
  static ZOVDependency dependencyWithProtocol(ZOVProtocol protocol) { return ZOVDependency(std::move(protocol), true); }
  static ZOVDependency dependencyWithProtocol(ZOVProtocol protocol, bool isRequired) {
    return ZOVDependency(std::move(protocol), isRequired);
  }
  ZOVDependency(ZOVProtocol protocol, bool isRequired) : protocol_(std::move(protocol)), isRequired_(isRequired) {}

  const ZOVProtocol& protocol() const { return protocol_; }
  bool isRequired() const { return isRequired_; }

 private:
  ZOVProtocol protocol_;
  bool isRequired_;
};

class ZOVComponent {
 public:
  // Builds the instance, or gives null. Called with the container (which it
  // may ask for other protocols) and a flag, false on entry, that it sets
  // when the instance may be cached.
  using CreationBlock = std::function<std::shared_ptr<ZOVComponentInstance>(ZOVComponentContainer& container,
                                                                            bool* isCacheable)>;

  // Lazy, no dependencies.
  static ZOVComponent componentWithProtocol(ZOVProtocol protocol, CreationBlock creationBlock) {
    return ZOVComponent(std::move(protocol), ZOVInstantiationTimingLazy, {}, std::move(creationBlock));
  }
  static ZOVComponent componentWithProtocol(ZOVProtocol protocol, int64_t instantiationTiming,
                                            std::vector<ZOVDependency> dependencies, CreationBlock creationBlock) {
    return ZOVComponent(std::move(protocol), instantiationTiming, std::move(dependencies), std::move(creationBlock));
  }
  ZOVComponent(ZOVProtocol protocol, int64_t instantiationTiming, std::vector<ZOVDependency> dependencies,
               CreationBlock creationBlock)
      : protocol_(std::move(protocol)),
        instantiationTiming_(instantiationTiming),
        dependencies_(std::move(dependencies)),
        creationBlock_(std::move(creationBlock)) {}

  const ZOVProtocol& protocol() const { return protocol_; }
  int64_t instantiationTiming() const { return instantiationTiming_; }
  const std::vector<ZOVDependency>& dependencies() const { return dependencies_; }
  const CreationBlock& creationBlock() const { return creationBlock_; }

 private:
  ZOVProtocol protocol_;
  int64_t instantiationTiming_;
  std::vector<ZOVDependency> dependencies_;
  CreationBlock creationBlock_;
};
