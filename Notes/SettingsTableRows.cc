#include "Notes/SettingsTableRows.h"

namespace SettingsTableRows {

std::shared_ptr<ui::Label> label(const std::string& text) {
  auto l = std::make_shared<ui::Label>();
  l->setText(text);
  return l;
}

std::shared_ptr<ui::TableViewCell> row(const std::vector<std::shared_ptr<ui::Label>>& labels,
                                       std::shared_ptr<ui::ImageView> image, std::shared_ptr<ui::View> accessory,
                                       bool disclosure) {
  auto cell = std::make_shared<ui::TableViewCell>();
  double x = 16;
  if (image) {
    image->setFrame(ui::Rect(x, 8, 28, 28));
    cell->contentView().addSubview(image);
    x += 40;
  }
  for (const auto& l : labels) {
    l->setFrame(ui::Rect(x, 11, 140, 22));
    cell->contentView().addSubview(l);
    x += 150;
  }
  if (accessory) cell->setAccessoryView(accessory);
  if (disclosure) cell->setAccessoryType(ui::TableViewCellAccessoryType::DisclosureIndicator);
  return cell;
}

}  // namespace SettingsTableRows
