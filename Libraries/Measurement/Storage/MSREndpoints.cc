#include "Libraries/Measurement/Storage/MSREndpoints.h"

#include <string>

#include "Platform/Foundation/Bundle.h"

namespace {

struct Endpoints {
  ns::URL config;
  ns::URL upload;
  ns::URL experiment;
  ns::URL adServices;
  ns::URL attribution;
};

ns::URL configured(const ns::Dictionary* entries, const char* key, const char* fallback) {
  const ns::Value* value = entries ? entries->find(key) : nullptr;
  const std::string* text = value ? value->asString() : nullptr;
  if (text && !text->empty()) {
    if (auto url = ns::URL::withString(*text); url && url->host()) return *url;
  }
  return *ns::URL::withString(fallback);
}

const Endpoints& endpoints() {
  static const Endpoints values = [] {
    const ns::Dictionary* entries = nullptr;
    if (auto bundle = ns::Bundle::mainBundle()) {
      const ns::Value* entry = bundle->objectForInfoDictionaryKey("MSRMeasurementEndpoints");
      entries = entry ? entry->asDictionary() : nullptr;
    }
    return Endpoints{configured(entries, "ConfigURL", "https://config.measurement.invalid"),
                     configured(entries, "UploadURL", "https://upload.measurement.invalid"),
                     configured(entries, "ExperimentURL", "https://experiments.measurement.invalid"),
                     configured(entries, "AdServicesURL", "https://adservices.measurement.invalid"),
                     configured(entries, "AttributionURL", "https://attribution.measurement.invalid")};
  }();
  return values;
}

}  // namespace

const ns::URL& MSREndpoints::configURL() { return endpoints().config; }

const ns::URL& MSREndpoints::uploadURL() { return endpoints().upload; }

const ns::URL& MSREndpoints::experimentURL() { return endpoints().experiment; }

const ns::URL& MSREndpoints::adServicesURL() { return endpoints().adServices; }

const ns::URL& MSREndpoints::attributionURL() { return endpoints().attribution; }
