#include "Libraries/Measurement/Core/MSRBundleIdentifiers.h"

#include "Libraries/WireMessages/MSRPBMessageAccessors.h"

namespace {

// Field indexes of the bundle message.
constexpr int32_t kResettableDeviceID = 19, kVendorDeviceID = 20, kLimitedAdTracking = 21, kAppInstanceID = 22,
                  kConsentSignals = 40, kTrackingAuthorizationStatus = 41;
// Status 3 is "authorised"; 6 means the device has no advertising facility.
constexpr uint64_t kAuthorized = 3, kNoAdvertisingFacility = 6;

bool denies(char signal) { return signal == '0' || signal == 'D' || signal == 'd'; }

void setUnlessSet(MSRPBMeasurementBundle& bundle, int32_t index, const std::optional<std::string>& value) {
  if (!MSRPBMessageHasField(&bundle, index)) MSRPBMessageSetString(&bundle, index, value);
}

}  // namespace

void MSRStampBundleWithIdentifiersAndConsent(MSRPBMeasurementBundle& bundle, const std::string& consentSignals,
                                             bool gateIDFAOnATTMAS, MSRIdentity& identity) {
  bool adStorageDenied = false, analyticsStorageDenied = false;
  if (consentSignals.size() >= 4) {
    MSRPBMessageSetString(&bundle, kConsentSignals, consentSignals);
    adStorageDenied = denies(consentSignals[2]);
    analyticsStorageDenied = denies(consentSignals[3]);
  } else if (consentSignals.empty()) {
    MSRPBMessageClearField(&bundle, kConsentSignals);
  }

  uint64_t status = identity.appleConsentStatus();
  if (status != kNoAdvertisingFacility) {
    MSRPBMessageSetInt32(&bundle, kTrackingAuthorizationStatus, static_cast<int32_t>(status));
  }
  bool gated = gateIDFAOnATTMAS && status != kAuthorized;

  auto resettable = identity.resettableDeviceID();
  if (identity.hasLimitedAdTracking() && resettable && !adStorageDenied && !gated) {
    setUnlessSet(bundle, kResettableDeviceID, resettable);
    MSRPBMessageClearField(&bundle, kVendorDeviceID);
  } else if (auto vendor = identity.identifierForVendor(); analyticsStorageDenied || !vendor) {
    MSRPBMessageClearField(&bundle, kResettableDeviceID);
    MSRPBMessageClearField(&bundle, kVendorDeviceID);
  } else {
    setUnlessSet(bundle, kVendorDeviceID, vendor);
    MSRPBMessageClearField(&bundle, kResettableDeviceID);
  }

  if (!analyticsStorageDenied) {
    auto appInstanceID = identity.appInstanceID();
    if (appInstanceID && !appInstanceID->empty()) setUnlessSet(bundle, kAppInstanceID, appInstanceID);
  }
  if (adStorageDenied) MSRPBMessageClearField(&bundle, kResettableDeviceID);
  if (analyticsStorageDenied) {
    MSRPBMessageClearField(&bundle, kVendorDeviceID);
    MSRPBMessageClearField(&bundle, kAppInstanceID);
  }
  if (identity.hasLimitedAdTracking()) MSRPBMessageSetBool(&bundle, kLimitedAdTracking, identity.limitedAdTracking());
}
