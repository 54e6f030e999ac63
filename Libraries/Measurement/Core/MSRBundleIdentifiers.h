// What a measurement bundle says about who sent it: the consent signals,
// the tracking status, the advertising or vendor identifier, the app
// instance ID and the limited-ad-tracking flag, stamped by one rule so the
// stored metadata of raw events and the uploaded bundles agree.
//
// Consent signals of 4 or more characters are copied; their character 2
// denies ad storage and character 3 analytics storage when it is "0", "D"
// or "d"; empty signals clear the field, 1 to 3 characters leave it. The
// advertising identifier goes out only with a limited-ad-tracking value,
// ad storage granted and the tracking gate open (`gateIDFAOnATTMAS` off,
// or the status authorised); otherwise the vendor identifier, unless
// analytics storage is denied. Denied analytics storage also keeps the app
// instance ID out. Fields already set stay set.
#pragma once

#include <string>

#include "Libraries/Measurement/Core/MSRIdentity.h"
#include "Libraries/WireMessages/MSRPBUploadMessages.h"

void MSRStampBundleWithIdentifiersAndConsent(MSRPBMeasurementBundle& bundle, const std::string& consentSignals,
                                             bool gateIDFAOnATTMAS, MSRIdentity& identity);
