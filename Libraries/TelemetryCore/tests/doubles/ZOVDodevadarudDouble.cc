// The crash reporter: registers with the core from its class-load hook.
#include "Libraries/TelemetryCore/ZOVComponentContainer.h"
#include "Libraries/TelemetryCore/ZOVLibrary.h"
#include "Libraries/TelemetryCore/ZOVLogger.h"
#include "Libraries/TelemetryCore/tests/doubles/TelemetryDoubles.h"
#include "Platform/Foundation/Bundle.h"
#include "Platform/Runtime/Runtime.h"

namespace telemetry_doubles {
namespace {

class Dodevadarud : public rt::Class, public ZOVLibrary {
 public:
  Dodevadarud() : rt::Class("ZOVDodevadarud", {"componentsToRegister"}) {}
  std::vector<ZOVComponent> componentsToRegister() const override {
    return {ZOVComponent::componentWithProtocol(
        ZOVProtocol::of<ZOVDodevadarudInstanceProvider>(), ZOVInstantiationTimingEagerInDefaultApp,
        {ZOVDependency::dependencyWithProtocol(ZOVProtocol::of<VOZIzizuzoveInterop>()),
         ZOVDependency::dependencyWithProtocol(ZOVProtocol::of<ZOVSessionsProvider>())},
        [](ZOVComponentContainer& container, bool* isCacheable) -> std::shared_ptr<ZOVComponentInstance> {
          std::shared_ptr<VIDUve> app = container.app();
          if (!app || !app->isDefaultApp()) {
            ZOVLoggerWrapper::logWithLevel(ZULLoggerLevelError, kDodevadarudService, "I-CLS000000",
                                           "Dodevadarud must be used with the default Dozaveve app.");
            return nullptr;
          }
          auto instance = std::make_shared<DodevadarudInstance>();
          instance->analytics = ZOVComponentType::instanceForProtocol<VOZIzizuzoveInterop>(container);
          instance->sessions = ZOVComponentType::instanceForProtocol<ZOVSessionsProvider>(container);
          *isCacheable = true;
          instance->app = app;
          instance->appInfo = ns::Bundle::mainBundle()->infoDictionary();
          return instance;
        })};
  }
};

const bool registered = [] {
  auto library = std::make_shared<Dodevadarud>();
  rt::registerClass(library);
  VIDUve::registerInternalLibrary(library, "dozaveve-dodevadarud");
  return true;
}();

}  // namespace
}  // namespace telemetry_doubles
