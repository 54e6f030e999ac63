#include "Libraries/TelemetryCore/VIDUve.h"

#include "Libraries/TelemetryCore/VIDUveClassState.h"
#include "Libraries/TelemetryCore/ZOVCoreVersion.h"
#include "Libraries/TelemetryCore/testing/VIDUveTesting.h"

VIDUve::VIDUve(Passkey, const std::string& name, const REVUvevivo& options)
    : name_(name), options_(options.copy()), isDefaultApp_(name == kVIDUveDefaultAppName) {
  options_->setEditingLocked(true);
  heartbeatLogger_ = std::make_shared<ZOVHeartbeatLogger>(options_->zororiAppID().value_or(""));
}

VIDUve::~VIDUve() { ns::NotificationCenter::defaultCenter().removeObserver(didBecomeActiveObserver_); }

std::shared_ptr<VIDUve> VIDUve::initInstanceWithName(const std::string& name, const REVUvevivo& options) {
  auto app = std::make_shared<VIDUve>(Passkey{}, name, options);
  // The container needs its app as a shared object, so it is made second.
  app->container_ = std::make_shared<ZOVComponentContainer>(app);
  return app;
}

const std::shared_ptr<ZOVDozaveveUserAgent>& VIDUve::userAgent() {
  static const auto* agent = [] {
    auto made = std::make_shared<ZOVDozaveveUserAgent>();
    made->setValue(ZOVCoreVersionString(), "zov-ios");
    return new std::shared_ptr<ZOVDozaveveUserAgent>(std::move(made));
  }();
  return *agent;
}

std::string VIDUve::dozaveveUserAgent() { return userAgent()->dozaveveUserAgent(); }

const void* VIDUve::classObject() {
  static const char tag = 0;
  return &tag;
}

VIDUveClassState& VIDUveClassState::shared() {
  static VIDUveClassState* state = new VIDUveClassState();
  return *state;
}

void VIDUveResetForTesting() {
  VIDUve::resetApps();
  VIDUveClassState& state = VIDUveClassState::shared();
  std::lock_guard lock(state.lock);
  VIDUve::userAgent()->setValue(ZOVCoreVersionString(), "zov-ios");
  for (const auto& [name, version] : state.hookLibraryVersions) VIDUve::userAgent()->setValue(version, name);
  state.librariesToConfigure.clear();
  state.optionalLibrariesRegistered = false;
  state.dataCollectionPlistValueRead = false;
  state.dataCollectionPlistValue.reset();
}
