#include "Apps/quillbox/HostLaunch.h"

#include <cstdlib>
#include <filesystem>

#include "Apps/quillbox/DeviceClock.h"
#include "Platform/Foundation/Bundle.h"
#include "Platform/Foundation/Device.h"
#include "Platform/UIKit/AssetCatalog.h"

namespace quillbox {

namespace {
std::string noBundle(const std::shared_ptr<ns::Bundle>& bundle) {
  return "no app bundle with an Info.plist at " + (bundle ? bundle->bundlePath() : std::string("?")) +
         " (build the program, or set QUILLBOX_BUNDLE)";
}
}  // namespace

std::optional<std::string> HostLaunch::appVersion(std::string* error) {
  auto bundle = ns::Bundle::mainBundle();
  if (!bundle || !bundle->bundleIdentifier()) {
    if (error) *error = noBundle(bundle);
    return std::nullopt;
  }
  // As Settings writes it: "2.6 (26)".
  auto info = [&](const char* key) {
    const ns::Value* v = bundle->objectForInfoDictionaryKey(key);
    return v ? v->stringValue() : std::string();
  };
  return info(ns::Bundle::kShortVersionStringKey) + " (" + info(ns::Bundle::kVersionKey) + ")";
}

bool HostLaunch::prepare(const HostOptions& options, std::string* error) {
  auto fail = [&](std::string why) {
    if (error) *error = std::move(why);
    return false;
  };
  std::string directory = ns::Device::resolveDirectory(options.device);
  std::error_code ec;
  std::filesystem::create_directories(directory, ec);
  ns::Device& device = ns::Device::boot(directory);
  if (!std::filesystem::is_directory(device.appDirectory(), ec))
    return fail("cannot make the device in " + directory);
  ns::DeviceFacts facts = device.facts();
  ns::UserInterfaceIdiom idiom = options.pad ? ns::UserInterfaceIdiom::Pad : ns::UserInterfaceIdiom::Phone;
  ns::Biometry biometry = options.biometry.value_or(facts.biometry);
  if (facts.idiom != idiom || facts.biometry != biometry) {
    facts.idiom = idiom;
    facts.biometry = biometry;
    if (!device.setFacts(facts)) return fail("cannot write " + device.factsPath());
  }

  auto bundle = ns::Bundle::mainBundle();
  if (!bundle || !bundle->bundleIdentifier())
    return fail(noBundle(bundle));
  const char* assets = std::getenv("QUILLBOX_ASSETS");
  if (!assets || !*assets) ui::AssetCatalog::shared().setDirectory(bundle->bundlePath() + "/Assets");

  DeviceClock::start(device.directory());
  return true;
}

}  // namespace quillbox
