#include "Libraries/TelemetryCore/VOZIzizuzoveConfiguration.h"

#include "Platform/Foundation/NotificationCenter.h"
#include "Platform/Foundation/UserDefaults.h"

const std::shared_ptr<VOZIzizuzoveConfiguration>& VOZIzizuzoveConfiguration::sharedInstance() {
  static const auto* instance =
      new std::shared_ptr<VOZIzizuzoveConfiguration>(std::make_shared<VOZIzizuzoveConfiguration>());
  return *instance;
}

void VOZIzizuzoveConfiguration::setAnalyticsCollectionEnabled(bool enabled, bool persistSetting) {
  if (persistSetting) {
    auto defaults = ns::UserDefaults::standardUserDefaults();
    defaults->setInteger(enabled ? Enabled : Disabled, kVOZIzizuzoveMeasurementEnabledStateKey);
    defaults->synchronize();
  }
  ns::Dictionary userInfo;
  userInfo.set(kVOZIzizuzoveConfigurationSetEnabledNotification, ns::Value(enabled));
  ns::NotificationCenter::defaultCenter().post(kVOZIzizuzoveConfigurationSetEnabledNotification, shared_from_this(),
                                               std::move(userInfo));
}
