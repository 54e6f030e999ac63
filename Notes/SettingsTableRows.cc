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
  // One label takes the row; a second (a value) follows the title.
  const double rowWidth = 320;
  for (size_t i = 0; i < labels.size(); ++i) {
    double width = labels.size() == 1 ? rowWidth - x : (i == 0 ? 130 : rowWidth - x);
    labels[i]->setFrame(ui::Rect(x, 11, width, 22));
    cell->contentView().addSubview(labels[i]);
    x += width + 10;
  }
  if (accessory) cell->setAccessoryView(accessory);
  if (disclosure) cell->setAccessoryType(ui::TableViewCellAccessoryType::DisclosureIndicator);
  return cell;
}

}  // namespace SettingsTableRows
