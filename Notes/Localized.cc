#include "Notes/Localized.h"

#include "Libraries/AppSupportKit/TXKit.h"
#include "Platform/Foundation/Bundle.h"

namespace notes {

std::string localized(const std::string& key) { return ns::Bundle::mainBundle()->localizedString(key, "", ""); }

std::string kitLocalized(const std::string& key) { return TXKit::bundle()->localizedString(key, "", "TXKit"); }

}  // namespace notes
