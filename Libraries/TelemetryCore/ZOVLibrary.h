// The two protocols of the component registry.
//
// ZOVLibrary: a telemetry library's class as the core sees it (a
// registrant). Its class operations are the virtual functions here; one
// object per library, alive for the whole process.
//
// ZOVComponentLifecycleMaintainer: a component instance that wants to hear
// that its app is being deleted.
#pragma once

#include <memory>
#include <vector>

#include "Libraries/TelemetryCore/ZOVComponent.h"

class VIDUve;

class ZOVLibrary {
 public:
  static constexpr const char* kZOVProtocolName = "ZOVLibrary";
  virtual ~ZOVLibrary() = default;

  // The components the library offers; asked once by every new container.
  virtual std::vector<ZOVComponent> componentsToRegister() const = 0;

  // The optional class operation configureWithApp:; a library that has it
  // says so, and the core then calls it for every app it configures.
  virtual bool respondsToConfigureWithApp() const { return false; }
  virtual void configureWithApp(const std::shared_ptr<VIDUve>& /*app*/) {}
};

class ZOVComponentLifecycleMaintainer {
 public:
  static constexpr const char* kZOVProtocolName = "ZOVComponentLifecycleMaintainer";
  virtual ~ZOVComponentLifecycleMaintainer() = default;

  virtual void appWillBeDeleted(const std::shared_ptr<VIDUve>& app) = 0;
};
