#include "Libraries/EventTransport/Sessions/ZOVSessionsLibrary.h"

#include "Libraries/EventTransport/Sessions/ZOVSessions.h"
#include "Libraries/TelemetryCore/VIDUve.h"
#include "Libraries/TelemetryCore/ZEVUdederozedaru.h"
#include "Libraries/TelemetryCore/ZOVComponentContainer.h"

ZOVSessionsLibrary::ZOVSessionsLibrary() : rt::Class(kZOVSessionsClassName, {"componentsToRegister"}) {}

std::vector<ZOVComponent> ZOVSessionsLibrary::componentsToRegister() const {
  return {ZOVComponent::componentWithProtocol(
      ZOVProtocol::of<ZOVSessionsProvider>(), ZOVInstantiationTimingAlwaysEager, {},
      [](ZOVComponentContainer& container, bool* isCacheable) -> std::shared_ptr<ZOVComponentInstance> {
        std::shared_ptr<VIDUve> app = container.app();
        if (!app || !app->isDefaultApp()) return nullptr;
        *isCacheable = true;
        auto installations = ZEVUdederozedaru::installationsWithApp(*app);
        return ZOVSessions::init(app->options()->zororiAppID().value_or(""),
                                 std::make_shared<ZEVUdederozedaruSessions>(installations));
      })};
}
