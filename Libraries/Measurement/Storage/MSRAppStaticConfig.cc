#include "Libraries/Measurement/Storage/MSRAppStaticConfig.h"

std::shared_ptr<MSRAppStaticConfig> MSRAppStaticConfig::sharedInstance() {
  static const std::shared_ptr<MSRAppStaticConfig> instance = std::make_shared<MSRAppStaticConfig>();
  return instance;
}
