#include "Notes/NTLocalized.h"

#include "Libraries/AppSupportKit/TXKit.h"
#include "Platform/Foundation/Bundle.h"

std::string NTLocalized(const std::string& key) { return ns::Bundle::mainBundle()->localizedString(key, "", ""); }

std::string NTKitLocalized(const std::string& key) { return TXKit::bundle()->localizedString(key, "", "TXKit"); }
