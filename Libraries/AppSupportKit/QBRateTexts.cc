// What the scheduler takes from the device and the main bundle, its texts
// and the page it opens.
#include <cctype>

#include "Libraries/AppSupportKit/QBRate.h"
#include "Platform/Foundation/Bundle.h"
#include "Platform/Foundation/FileManager.h"
#include "Platform/Foundation/Format.h"
#include "Platform/Foundation/Locale.h"
#include "Platform/Foundation/StringOps.h"

namespace {

std::string infoString(const char* key) {
  const ns::Value* v = ns::Bundle::mainBundle()->objectForInfoDictionaryKey(key);
  return v ? v->stringValue() : std::string();
}

std::string firstNonEmpty(std::string a, std::string b) { return a.empty() ? b : a; }

std::string replaceAll(std::string text, const std::string& from, const std::string& to) {
  for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
    text.replace(at, from.size(), to);
  return text;
}

// QBRate.bundle in the main bundle, narrowed to the user's language when it
// has it; else the main bundle.
std::shared_ptr<ns::Bundle> textBundle(bool useAllAvailableLanguages) {
  auto main = ns::Bundle::mainBundle();
  auto path = main->pathForResource("QBRate", "bundle");
  if (!path) return main;
  std::string chosen = *path;
  if (useAllAvailableLanguages) {
    auto bundle = ns::Bundle::bundleWithPath(*path);
    auto languages = ns::Locale::preferredLanguages();
    std::string language = languages.empty() ? "en" : languages.front();
    auto has = [&](const std::string& name) {
      if (!bundle) return false;
      for (const auto& l : bundle->localizations())
        if (l == name) return true;
      return false;
    };
    if (!has(language)) language = language.substr(0, language.find('-'));
    if (has(language)) chosen = *path + "/" + language + ".lproj";
  }
  auto bundle = ns::Bundle::bundleWithPath(chosen);
  return bundle ? bundle : main;
}

}  // namespace

std::string QBRate::appStoreCountryForRegion(const std::optional<std::string>& region) {
  if (region == "150") return "eu";
  if (!region || region->size() != 2 || !std::isalpha(static_cast<unsigned char>((*region)[0])) ||
      !std::isalpha(static_cast<unsigned char>((*region)[1])))
    return "us";
  if (*region == "GI") return "GB";
  return *region;
}

void QBRate::fillSettings() {
  settings_.appStoreCountry = appStoreCountryForRegion(ns::Locale::current().regionCode());
  settings_.applicationName = firstNonEmpty(infoString(ns::Bundle::kDisplayNameKey), infoString(ns::Bundle::kNameKey));
  settings_.applicationVersion =
      firstNonEmpty(infoString(ns::Bundle::kShortVersionStringKey), infoString(ns::Bundle::kVersionKey));
  settings_.applicationBundleID = ns::Bundle::mainBundle()->bundleIdentifier().value_or("");
}

std::string QBRate::localizedStringForKey(const std::string& key, const std::string& defaultValue) const {
  // Chosen once, as the library's texts do not move.
  if (!textBundle_) textBundle_ = textBundle(settings_.useAllAvailableLanguages);
  std::string text = textBundle_->localizedString(key, defaultValue);
  return ns::Bundle::mainBundle()->localizedString(key, text);
}

std::string QBRate::messageTitle() const {
  std::string title = settings_.messageTitle.value_or(localizedStringForKey("QBRateMessageTitle", "Rate %@"));
  return replaceAll(title, "%@", settings_.applicationName);
}

std::string QBRate::message() const {
  std::string text;
  if (settings_.message) {
    text = *settings_.message;
  } else if (settings_.appStoreGenreID == static_cast<uint64_t>(kGameGenreID)) {
    text = localizedStringForKey("QBRateGameMessage",
                                 "If you enjoy playing %@, would you mind taking a moment to rate it? It won\u2019t "
                                 "take more than a minute. Thanks for your support!");
  } else {
    text = localizedStringForKey("QBRateAppMessage",
                                 "If you enjoy using %@, would you mind taking a moment to rate it? It won\u2019t "
                                 "take more than a minute. Thanks for your support!");
  }
  if (ratedAnyVersion()) text = settings_.updateMessage.value_or(localizedStringForKey("QBRateUpdateMessage", text));
  return replaceAll(text, "%@", settings_.applicationName);
}

std::string QBRate::cancelButtonLabel() const {
  return settings_.cancelButtonLabel.value_or(localizedStringForKey("QBRateCancelButton", "No, Thanks"));
}
std::string QBRate::rateButtonLabel() const {
  return settings_.rateButtonLabel.value_or(localizedStringForKey("QBRateRateButton", "Rate It Now"));
}
std::string QBRate::remindButtonLabel() const {
  return settings_.remindButtonLabel.value_or(localizedStringForKey("QBRateRemindButton", "Remind Me Later"));
}

ns::URL QBRate::ratingsURL() const {
  if (settings_.ratingsURL) return *settings_.ratingsURL;
  if (appStoreID() == 0)
    verbose("QBRate could not find the App Store ID for this application. If the application is not intended for "
            "App Store release then you must specify a custom ratingsURL.");
  return *ns::URL::withString(ns::format(
      "itms-apps://%@/WebObjects/MZStore.woa/wa/viewContentsUserReviews?type=Purple+Software&id=%@&pageNumber=0&"
      "sortOrdering=2&mt=8",
      std::string(kReviewHost), std::to_string(appStoreID())));
}
