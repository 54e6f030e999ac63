#include "Libraries/TelemetryCore/VIDUve.h"

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
