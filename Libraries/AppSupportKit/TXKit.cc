#include "Libraries/AppSupportKit/TXKit.h"

#include "Platform/Foundation/Device.h"
#include "Platform/Foundation/UserDefaults.h"
#include "Platform/UIKit/Image.h"

namespace {

std::string infoString(const char* key) {
  const ns::Value* v = ns::Bundle::mainBundle()->objectForInfoDictionaryKey(key);
  return v ? v->stringValue() : std::string();
}

}  // namespace

TXKit& TXKit::sharedInstance() {
  static TXKit kit;
  return kit;
}

int64_t TXKit::previousVersion() {
  auto defaults = ns::UserDefaults::standardUserDefaults();
  if (int64_t v = defaults->integerForKey(kVersionKey)) return v;
  if (int64_t v = ns::integerValueOfString(defaults->stringForKey(kLegacyVersionKey).value_or(""))) return v;
  return defaults->integerForKey(kVersionManagerKey);
}

bool TXKit::isAppOnFirstLaunch() { return previousVersion() == 0; }

bool TXKit::isAppVersionUpdated() {
  int64_t previous = previousVersion();
  return previous != 0 && previous != currentVersion();
}

int64_t TXKit::currentVersion() { return ns::integerValueOfString(infoString(ns::Bundle::kVersionKey)); }

std::string TXKit::currentShortVersionString() { return infoString(ns::Bundle::kShortVersionStringKey); }

std::string TXKit::previousVersionString() {
  return ns::UserDefaults::standardUserDefaults()->stringForKey(kVersionStringKey).value_or("");
}

void TXKit::acceptCurrentVersion() {
  auto defaults = ns::UserDefaults::standardUserDefaults();
  bool wrote = false;
  int64_t build = currentVersion();
  if (build != previousVersion()) {
    defaults->setInteger(build, kVersionKey);
    wrote = true;
  }
  std::string version = currentVersionString();
  if (previousVersionString() != version) {
    defaults->setObject(ns::Value(version), kVersionStringKey);
    wrote = true;
  }
  if (wrote) defaults->synchronize();
}

std::shared_ptr<ns::Bundle> TXKit::bundle() {
  static const std::shared_ptr<ns::Bundle> kit = [] {
    auto main = ns::Bundle::mainBundle();
    if (auto path = main->pathForResource("TXKit", "bundle"))
      if (auto b = ns::Bundle::bundleWithPath(*path)) return b;
    return main;
  }();
  return kit;
}

std::shared_ptr<const ui::Image> TXKit::imageNamed(const std::string& name) {
  auto path = bundle()->pathForResource(name + "@2x", "png");
  auto bitmap = path ? cg::Image::fromFile(*path, 2) : nullptr;
  return bitmap ? std::make_shared<const ui::Image>(bitmap, name) : nullptr;
}

std::string TXKit::localizedString(const std::string& key) { return bundle()->localizedString(key, "", "TXKit"); }
