// Which application and build is running, as the settings request and the
// reports name it. The build instance identifier is the SHA-1 of the
// executable's per-architecture UUIDs, so every new build gets a new one.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "Libraries/CrashReporter/DVCRMachO.h"

class DVCRApplicationIdentifierModel {
 public:
  // Null when the executable cannot be examined.
  static std::unique_ptr<DVCRApplicationIdentifierModel> create();
  // From given facts (the executable's reading is in create()).
  DVCRApplicationIdentifierModel(std::map<std::string, std::string> architectureUUIDMap, DVCRMachOVersion builtSDK,
                                 DVCRMachOVersion minimumSDK);

  std::string bundleID() const;
  std::string displayName() const;
  std::string platform() const;
  std::string buildVersion() const;
  std::string displayVersion() const;
  // "<display version> (<build version>)".
  std::string synthesizedVersion() const;
  int installSource() const;
  std::string builtSDKString() const;
  std::string minimumSDKString() const;

  // Architecture name → 32 lower-case hex digits of that slice's UUID.
  const std::map<std::string, std::string>& architectureUUIDMap() const { return architectureUUIDMap_; }
  const std::string& buildInstanceID() const { return buildInstanceID_; }
  DVCRMachOVersion builtSDK() const { return builtSDK_; }
  DVCRMachOVersion minimumSDK() const { return minimumSDK_; }

 private:
  std::map<std::string, std::string> architectureUUIDMap_;
  std::string buildInstanceID_;
  DVCRMachOVersion builtSDK_;
  DVCRMachOVersion minimumSDK_;
};
