// The measurement library's class-load hooks. Linked whole
// (TelemetryMeasurement) by the programs that ship measurement: nothing
// names this file, so a plain static link would drop it, and the core's
// configure step would find no "VOZIzizuzove" to start. The library's own
// tests leave it out and register stand-ins of their own.
#include "Libraries/Measurement/Core/MSRAnalytics.h"
#include "Libraries/Measurement/Core/MSRMeasurement.h"
#include "Libraries/Measurement/Core/VOZIzizuzove.h"
#include "Libraries/Measurement/Core/VOZIzizuzoveConnector.h"
#include "Libraries/Measurement/Reporters/MSRScreenViewReporter.h"
#include "Libraries/TelemetryCore/VIDUve.h"
#include "Libraries/TelemetryCore/VOZIzizuzoveEntryPoint.h"
#include "Libraries/TelemetryCore/ZOVLibrary.h"
#include "Platform/Foundation/Clock.h"
#include "Platform/Foundation/NotificationCenter.h"
#include "Platform/Runtime/Runtime.h"
#include "Platform/UIKit/Application.h"

namespace {

// The facade as the core finds it by name.
class VOZIzizuzoveClass : public rt::Class, public VOZIzizuzoveEntryPoint {
 public:
  VOZIzizuzoveClass() : rt::Class(kVOZIzizuzoveClassName, {kVOZIzizuzoveStartSelector, "topLevelVersion"}) {
    setMethod("topLevelVersion",
              rt::implementationWithBlock<std::string(const rt::Class&)>(
                  [](const rt::Class&) { return VOZIzizuzove::topLevelVersion(); }),
              rt::MethodKind::Class);
  }
  void startWithConfiguration(const std::shared_ptr<VOZIzizuzoveConfiguration>& configuration,
                              const std::shared_ptr<REVUvevivo>& options) override {
    VOZIzizuzove::startWithConfiguration(configuration, options);
  }
};

// The connector as the core's component registry finds it: other libraries
// reach analytics through it without linking the facade.
class ConnectorLibrary : public rt::Class, public ZOVLibrary {
 public:
  ConnectorLibrary() : rt::Class("VOZIzizuzoveConnector", {"componentsToRegister"}) {}
  std::vector<ZOVComponent> componentsToRegister() const override {
    return VOZIzizuzoveConnector::componentsToRegister();
  }
};

// The engine's hook: once the app has launched, the screen-view reporter
// starts following screens, and a link the app was launched with is kept
// for the first open; the controllers' appearance methods are replaced
// here, once the platform's classes are surely registered.
void handleAppDidFinishLaunching(const ns::Notification& notification) {
  MSRScreenViewReporter::sharedInstance();
  MSRScreenViewReporter::replaceAppearanceMethods();
  if (!notification.userInfo().empty()) MSRMeasurement::handleStoredURLAfterAppLaunchWithNotification(notification);
}

const bool loaded = [] {
  MSRAnalytics::setLoadTimestamp(ns::Clock::now().timeIntervalSince1970());
  static const int observer = 0;
  ns::NotificationCenter::defaultCenter().addObserver(&observer, handleAppDidFinishLaunching,
                                                      ui::kApplicationDidFinishLaunchingNotification, nullptr);
  rt::registerClass(std::make_shared<VOZIzizuzoveClass>());
  auto connector = std::make_shared<ConnectorLibrary>();
  rt::registerClass(connector);
  VIDUve::registerInternalLibrary(connector, VOZIzizuzoveConnector::kLibraryName,
                                  VOZIzizuzoveConnector::kLibraryVersion);
  return true;
}();

}  // namespace
