// The texts of the notes screens: the main bundle's default table, and the
// kit's table "TXKit" for the shared button titles ("OK", "Cancel"). A key
// without a translation reads as the key itself.
#pragma once

#include <string>

std::string NTLocalized(const std::string& key);
std::string NTKitLocalized(const std::string& key);
