#include "Libraries/EventTransport/ZTCORTransportClasses.h"

#include "Libraries/EventTransport/ZTCORClock.h"
#include "Libraries/EventTransport/ZTCOREvent.h"
#include "Libraries/EventTransport/ZTCORMetricsRecords.h"
#include "Platform/Foundation/KeyedArchiveRegistry.h"

void ZTCORRegisterTransportClasses() {
  static const bool registered = [] {
    auto& registry = ns::KeyedArchiveRegistry::shared();
    registry.registerClass({.name = ZTCORClock::kClassName, .decode = ZTCORClock::initWithCoder});
    registry.registerClass({.name = ZTCOREvent::kClassName, .decode = ZTCOREvent::initWithCoder});
    registry.registerClass({.name = ZTCORLogSourceMetrics::kClassName, .decode = ZTCORLogSourceMetrics::initWithCoder});
    registry.registerClass({.name = ZTCORMetricsMetadata::kClassName, .decode = ZTCORMetricsMetadata::initWithCoder});
    return true;
  }();
  (void)registered;
}
