// The rows the settings screens lay out as their storyboard's static
// cells: labels side by side in the content view, an optional image before
// them and an optional accessory view (a switch).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "Platform/UIKit/ImageView.h"
#include "Platform/UIKit/Label.h"
#include "Platform/UIKit/TableViewCell.h"

namespace SettingsTableRows {

std::shared_ptr<ui::Label> label(const std::string& text = {});
std::shared_ptr<ui::TableViewCell> row(const std::vector<std::shared_ptr<ui::Label>>& labels,
                                       std::shared_ptr<ui::ImageView> image = nullptr,
                                       std::shared_ptr<ui::View> accessory = nullptr, bool disclosure = false);

}  // namespace SettingsTableRows
