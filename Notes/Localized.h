// The app's texts in the user's language: its own (the main bundle's
// strings) and the app-support kit's shared ones ("Cancel", "OK").
#pragma once

#include <string>

namespace notes {

std::string localized(const std::string& key);
std::string kitLocalized(const std::string& key);

}  // namespace notes
