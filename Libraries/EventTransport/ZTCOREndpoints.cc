#include "Libraries/EventTransport/ZTCOREndpoints.h"

#include "Platform/Foundation/Bundle.h"

namespace {

struct Endpoints {
  std::map<ZTCORUploadTargetID, ns::URL> uploadURLs;
  ns::URL sessionsSettingsBase;
  std::string apiKey;
};

std::string configured(const ns::Dictionary* config, const char* key, std::string fallback) {
  const ns::Value* value = config ? config->find(key) : nullptr;
  if (!value || !value->asString() || value->asString()->empty()) return fallback;
  return *value->asString();
}

const Endpoints& endpoints() {
  static const Endpoints values = [] {
    const ns::Dictionary* config = nullptr;
    auto bundle = ns::Bundle::mainBundle();
    if (bundle) {
      const ns::Value* entry = bundle->infoDictionary().find("ZTCORUploadEndpoints");
      config = entry ? entry->asDictionary() : nullptr;
    }
    Endpoints result;
    const std::pair<ZTCORUploadTargetID, const char*> defaults[] = {
        {kZTCORTargetCCT, "https://cct.upload.invalid/batch"},
        {kZTCORTargetFLL, "https://fll.upload.invalid/batch"},
        {kZTCORTargetCSH, "https://csh.upload.invalid/batch"},
        {kZTCORTargetINT, "https://int.upload.invalid/batch"},
    };
    for (const auto& [target, address] : defaults) {
      std::string text = configured(config, std::to_string(target).c_str(), address);
      auto url = ns::URL::withString(text);
      result.uploadURLs.emplace(target, url ? *url : *ns::URL::withString(address));
    }
    const char* settings = "https://settings.sessions.invalid/";
    auto base = ns::URL::withString(configured(config, "SessionsSettingsBase", settings));
    result.sessionsSettingsBase = base ? *base : *ns::URL::withString(settings);
    result.apiKey = configured(config, "APIKey", "PLACEHOLDER-upload-key-set-in-InfoPlist");
    return result;
  }();
  return values;
}

}  // namespace

const std::map<ZTCORUploadTargetID, ns::URL>& ZTCOREndpoints::uploadURLs() { return endpoints().uploadURLs; }

std::optional<ns::URL> ZTCOREndpoints::uploadURLForTarget(ZTCORUploadTargetID target) {
  auto found = uploadURLs().find(target);
  if (found == uploadURLs().end()) return std::nullopt;
  return found->second;
}

const ns::URL& ZTCOREndpoints::sessionsSettingsBaseURL() { return endpoints().sessionsSettingsBase; }

const std::string& ZTCOREndpoints::FLLAndCSHAndINTAPIKey() { return endpoints().apiKey; }
