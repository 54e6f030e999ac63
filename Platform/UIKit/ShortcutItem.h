// A home-screen quick action: its type (what the app dispatches on), the
// texts shown, an icon and user info.
#pragma once

#include <string>

#include "Platform/Foundation/Value.h"

namespace ui {

struct ShortcutItem {
  std::string type;
  std::string localizedTitle;
  std::string localizedSubtitle;
  std::string iconName;  // a template image name or a system icon
  ns::Dictionary userInfo;
  bool operator==(const ShortcutItem&) const = default;
};

}  // namespace ui
