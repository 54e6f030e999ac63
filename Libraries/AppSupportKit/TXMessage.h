// One message the application gives the kit at launch (or adds later): its
// plist values ("enable", "usesUntilPrompt", "title", "message", "actions")
// beside what no property list can hold, a condition and an image.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>

#include "Platform/Foundation/Value.h"

namespace ui {
class Image;
}

struct TXMessage {
  ns::Dictionary values;
  // Null: the message is always allowed.
  std::function<bool()> conditionBlock;
  // Set: the message shows as an image popup.
  std::shared_ptr<const ui::Image> image;
};

// Keyed by message id.
using TXMessages = std::map<std::string, TXMessage>;
