// Localized string tables: the platform's ".strings" text format
// ("key" = "value"; with comments and escapes, in UTF-8 or UTF-16 with a
// byte-order mark) or a property-list dictionary of strings.
#pragma once

#include <optional>

#include "Platform/Foundation/Error.h"
#include "Platform/Foundation/Value.h"

namespace ns {

// The table's key/value pairs in file order; absent with an error (Cocoa
// domain, kPropertyListReadCorruptError) when the bytes are not a table.
std::optional<Dictionary> parseStringsTable(const Data& bytes, Error* error = nullptr);

}  // namespace ns
