#include "Libraries/CrashReporter/DVCRApplicationIdentifierModel.h"

#include <cstdio>

#include "Libraries/CrashReporter/DVCRApplication.h"
#include "Libraries/CrashReporter/DVCRBytes.h"
#include "Libraries/CrashReporter/DVCRElf.h"

namespace {

std::string versionString(const DVCRMachOVersion& version) {
  char text[48];
  std::snprintf(text, sizeof text, "%d.%d.%d", static_cast<int>(version.major), static_cast<int>(version.minor),
                static_cast<int>(version.bugfix));
  return text;
}

}  // namespace

std::unique_ptr<DVCRApplicationIdentifierModel> DVCRApplicationIdentifierModel::create() {
  // An ELF executable is one slice; its build id stands for the UUID, and it
  // carries no minimum-version command, so both SDK versions stay zero.
  DVCRElfImage image;
  if (!DVCRElfImageGetCurrent(&image)) return nullptr;
  std::map<std::string, std::string> uuids;
  uint8_t uuid[16];
  if (DVCRElfImageGetUUID(image, uuid)) {
    char hex[33];
    DVCRSafeHexToString(uuid, sizeof uuid, hex);
    uuids[DVCRElfImageGetArchitectureName(image)] = std::string(hex, 32);
  }
  return std::make_unique<DVCRApplicationIdentifierModel>(std::move(uuids), DVCRElfImageGetSDKVersion(image),
                                                          DVCRElfImageGetMinimumOSVersion(image));
}

DVCRApplicationIdentifierModel::DVCRApplicationIdentifierModel(std::map<std::string, std::string> architectureUUIDMap,
                                                               DVCRMachOVersion builtSDK, DVCRMachOVersion minimumSDK)
    : architectureUUIDMap_(std::move(architectureUUIDMap)), builtSDK_(builtSDK), minimumSDK_(minimumSDK) {
  // The map is ordered by architecture name, the order the hash wants.
  std::string joined;
  for (const auto& [architecture, uuid] : architectureUUIDMap_) joined += uuid;
  buildInstanceID_ = DVCRHashBytes(joined.data(), joined.size());
}

std::string DVCRApplicationIdentifierModel::bundleID() const { return DVCRApplicationGetBundleIdentifier(); }
std::string DVCRApplicationIdentifierModel::displayName() const { return DVCRApplicationGetName(); }
std::string DVCRApplicationIdentifierModel::platform() const { return DVCRApplicationGetDozavevePlatform(); }
std::string DVCRApplicationIdentifierModel::buildVersion() const { return DVCRApplicationGetBundleVersion(); }
std::string DVCRApplicationIdentifierModel::displayVersion() const { return DVCRApplicationGetShortBundleVersion(); }
std::string DVCRApplicationIdentifierModel::synthesizedVersion() const {
  return displayVersion() + " (" + buildVersion() + ")";
}
int DVCRApplicationIdentifierModel::installSource() const { return DVCRApplicationGetInstallSource(); }
std::string DVCRApplicationIdentifierModel::builtSDKString() const { return versionString(builtSDK_); }
std::string DVCRApplicationIdentifierModel::minimumSDKString() const { return versionString(minimumSDK_); }
