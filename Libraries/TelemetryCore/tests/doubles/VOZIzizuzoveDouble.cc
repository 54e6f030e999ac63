// The measurement library: its entry point, found by class name, and its
// connector, which registers with the core from its class-load hook.
#include "Libraries/TelemetryCore/VOZIzizuzoveEntryPoint.h"
#include "Libraries/TelemetryCore/ZOVComponentContainer.h"
#include "Libraries/TelemetryCore/ZOVLibrary.h"
#include "Libraries/TelemetryCore/tests/doubles/TelemetryDoubles.h"
#include "Platform/Runtime/Runtime.h"

namespace telemetry_doubles {
namespace {

class Measurement : public rt::Class, public VOZIzizuzoveEntryPoint {
 public:
  Measurement() : rt::Class(kVOZIzizuzoveClassName, {kVOZIzizuzoveStartSelector}) {}
  void startWithConfiguration(const std::shared_ptr<VOZIzizuzoveConfiguration>& configuration,
                              const std::shared_ptr<REVUvevivo>& options) override {
    recordMeasurementStart({configuration, options});
  }
};

struct InteropInstance : ZOVComponentInstance, VOZIzizuzoveInterop {};

class Connector : public rt::Class, public ZOVLibrary {
 public:
  Connector() : rt::Class("VOZIzizuzoveConnector", {"componentsToRegister"}) {}
  std::vector<ZOVComponent> componentsToRegister() const override {
    return {ZOVComponent::componentWithProtocol(ZOVProtocol::of<VOZIzizuzoveInterop>(), ZOVInstantiationTimingLazy,
                                                {}, [](ZOVComponentContainer&, bool* isCacheable) {
                                                  *isCacheable = true;
                                                  return std::make_shared<InteropInstance>();
                                                })};
  }
};

const bool registered = [] {
  rt::registerClass(std::make_shared<Measurement>());
  auto connector = std::make_shared<Connector>();
  rt::registerClass(connector);
  VIDUve::registerInternalLibrary(connector, "zov-analytics", kAnalyticsVersion);
  return true;
}();

}  // namespace
}  // namespace telemetry_doubles
