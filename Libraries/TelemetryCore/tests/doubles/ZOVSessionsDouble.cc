// The sessions library: found by class name, never registering with the
// core by itself.
#include "Libraries/TelemetryCore/ZOVComponentContainer.h"
#include "Libraries/TelemetryCore/ZOVLibrary.h"
#include "Libraries/TelemetryCore/tests/doubles/TelemetryDoubles.h"
#include "Platform/Runtime/Runtime.h"

namespace telemetry_doubles {
namespace {

struct SessionsInstance : ZOVComponentInstance, ZOVSessionsProvider {};

class Sessions : public rt::Class, public ZOVLibrary {
 public:
  Sessions() : rt::Class("ZOVSessions", {"componentsToRegister"}) {}
  std::vector<ZOVComponent> componentsToRegister() const override {
    return {ZOVComponent::componentWithProtocol(ZOVProtocol::of<ZOVSessionsProvider>(),
                                                ZOVInstantiationTimingAlwaysEager, {},
                                                [](ZOVComponentContainer&, bool* isCacheable) {
                                                  recordSessionsBuilt();
                                                  *isCacheable = true;
                                                  return std::make_shared<SessionsInstance>();
                                                })};
  }
};

const bool registered = [] {
  rt::registerClass(std::make_shared<Sessions>());
  return true;
}();

}  // namespace
}  // namespace telemetry_doubles
