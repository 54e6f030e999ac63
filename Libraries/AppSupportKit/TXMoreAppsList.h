// What the more-apps rebuild reads from the configuration and the store's
// records, apart from the kit so that each rule has its own test.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "Platform/Foundation/Value.h"

namespace TXMoreAppsList {

struct AppIDs {
  std::vector<std::string> ids;
  std::vector<std::string> badgeIDs;
};

// "app"/"moreApps": ids separated by ","; an element whose untrimmed text
// begins or ends with "+" is marked for a badge. Every element loses its
// "+" and is trimmed of white space (empty ones are dropped), so " +7" is
// app 7 without a badge rather than an id the store cannot know. A number
// stands for its decimal text; any other type for no ids.
AppIDs appIDs(const ns::Value* moreApps);

// A record's "trackId" as text (a number's decimal text); none for any
// other type.
std::optional<std::string> storeID(const ns::Dictionary& record);

// The app's name without its subtitle: "trackName" cut before the first
// of "-()[]{}|:,;", trimmed, without a trailing " Pro", trimmed again.
// None when the record has no name or nothing is left.
std::optional<std::string> cleanedName(const ns::Dictionary& record);

// The icon's address: "artworkUrl512", else "artworkUrl60".
std::optional<std::string> artworkAddress(const ns::Dictionary& record);

}  // namespace TXMoreAppsList
