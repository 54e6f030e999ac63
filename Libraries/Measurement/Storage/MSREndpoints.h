// Where the measurement engine fetches its configuration and sends its
// uploads.
//
// Read once from the main bundle's Info.plist dictionary
// "MSRMeasurementEndpoints" and then fixed for the life of the process:
//   "ConfigURL"   the configuration endpoint, default
//                 "https://config.measurement.invalid"
//   "UploadURL"   the upload endpoint, default
//                 "https://upload.measurement.invalid"
//   "ExperimentURL" the experiment service, default
//                 "https://experiments.measurement.invalid"; its host is
//                 also the one whose reachability the experiments watch
//   "AdServicesURL" the deferred deep link service, default
//                 "https://adservices.measurement.invalid"
//   "AttributionURL" the search-ads attribution service, default
//                 "https://attribution.measurement.invalid"
// A missing, empty or unreadable entry keeps its default. The defaults are
// hosts under ".invalid", which never resolve: nothing leaves the device
// unless configured.
#pragma once

#include "Platform/Foundation/URL.h"

class MSREndpoints {
 public:
  static const ns::URL& configURL();
  static const ns::URL& uploadURL();
  static const ns::URL& experimentURL();
  static const ns::URL& adServicesURL();
  static const ns::URL& attributionURL();
};
