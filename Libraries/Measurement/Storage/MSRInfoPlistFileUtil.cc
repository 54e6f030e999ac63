#include "Libraries/Measurement/Storage/MSRInfoPlistFileUtil.h"

#include "Platform/Foundation/Bundle.h"
#include "Platform/Foundation/PropertyList.h"

std::optional<std::string> MSRInfoPlistFileUtil::zororiServiceInfoPlistPath() {
  return ns::Bundle::mainBundle()->pathForResource("ZororiService-Info", "plist");
}

std::optional<ns::Dictionary> MSRInfoPlistFileUtil::dictionaryFromZororiServiceInfoPlist() {
  auto path = zororiServiceInfoPlistPath();
  if (!path) return std::nullopt;
  return ns::readDictionaryFile(*path);
}
