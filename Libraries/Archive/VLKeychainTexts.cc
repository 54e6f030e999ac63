#include "Libraries/Archive/VLKeychainTexts.h"

std::optional<std::string> VLKeychainTexts::localizedText(const std::string& key) { return key; }
