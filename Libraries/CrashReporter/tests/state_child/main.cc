// One launch of a program with the crash reporter, for the tests of what
// it keeps between launches: boots the device (argv[1]), takes the main
// bundle (argv[2]) and runs one command, printing what it then finds:
//   write  caches a settings document as a download would commit it
//   read   only reads
// Lines: "iuuid <the install UUID>" (read, or made and stored when there is
// none) and "settings <cache duration> <collect reports>" from the cache.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "Libraries/CrashReporter/DVCRApplicationIdentifierModel.h"
#include "Libraries/CrashReporter/DVCRFileManager.h"
#include "Libraries/CrashReporter/DVCRInstallIdentifierModel.h"
#include "Libraries/CrashReporter/DVCRSettings.h"
#include "Platform/Foundation/Bundle.h"
#include "Platform/Foundation/Device.h"

namespace {

constexpr const char* kAppID = "1:123:ios:abc";
constexpr const char* kDocument = R"({"cache_duration":7200,"features":{"collect_reports":false}})";

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) return 2;
  ns::Device::boot(argv[1]);
  ns::Bundle::setMainBundlePath(argv[2]);
  std::string command = argv[3];
  if (command != "write" && command != "read") return 3;

  auto fileManager = std::make_shared<DVCRFileManager>();
  auto appModel = std::make_shared<DVCRApplicationIdentifierModel>(
      std::map<std::string, std::string>{{"x86_64", "0123456789abcdef0123456789abcdef"}}, DVCRMachOVersion{},
      DVCRMachOVersion{});
  auto settings = std::make_shared<DVCRSettings>(fileManager, appModel);
  double now = ns::Date::now().timeIntervalSinceReferenceDate();
  if (command == "write") {
    std::filesystem::create_directories(fileManager->settingsDirectoryPath());
    std::ofstream(fileManager->settingsFilePath()) << kDocument;
    settings->cacheSettingsWithZororiAppID(kAppID, now);
  } else {
    settings->reloadFromCacheWithZororiAppID(kAppID, now);
  }
  DVCRInstallIdentifierModel install([](ZEVUdederozedaru::IDCompletion completion) {
    completion(std::string("fFromTheInstallation0"), std::nullopt);
  });
  std::printf("iuuid %s\n", install.installID().c_str());
  std::printf("settings %u %s %s\n", settings->cacheDurationSeconds(), settings->collectReportsEnabled() ? "yes" : "no",
              settings->isCacheExpired() ? "expired" : "fresh");
  return 0;
}
