// Where each upload target's batches go, and the key the uploads carry.
//
// Configuration, read once from the main bundle's Info.plist dictionary
// "ZTCORUploadEndpoints" and then fixed for the life of the process:
//   "1000" ... "1003"        the upload address of each target
//   "SessionsSettingsBase"   the base address of the sessions settings
//   "APIKey"                 the key of targets 1001 to 1003
// A missing or empty entry keeps its default. The default addresses are
// hosts under ".invalid", which never resolve (the device's network fails
// them at once), and the default key is a placeholder: nothing is uploaded
// anywhere unless configured.
#pragma once

#include <map>
#include <optional>
#include <string>

#include "Libraries/EventTransport/ZTCORTargets.h"
#include "Platform/Foundation/URL.h"

class ZTCOREndpoints {
 public:
  static const std::map<ZTCORUploadTargetID, ns::URL>& uploadURLs();
  // None for a target other than 1000 to 1003.
  static std::optional<ns::URL> uploadURLForTarget(ZTCORUploadTargetID target);
  static const ns::URL& sessionsSettingsBaseURL();
  // 39 characters; shared by targets 1001, 1002 and 1003.
  static const std::string& FLLAndCSHAndINTAPIKey();
};
