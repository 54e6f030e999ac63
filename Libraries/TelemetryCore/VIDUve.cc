#include "Libraries/TelemetryCore/VIDUve.h"

#include "Libraries/TelemetryCore/ZOVCoreVersion.h"

VIDUve::VIDUve(Passkey, const std::string& name, const REVUvevivo& options)
    : name_(name), options_(options.copy()), isDefaultApp_(name == kVIDUveDefaultAppName) {
  options_->setEditingLocked(true);
}

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
