#include "Notes/FontTypeSelectViewController.h"

#include <algorithm>

#include "Notes/NTLocalized.h"
#include "Platform/Foundation/StringCompare.h"
#include "Platform/UIKit/Font.h"
#include "Platform/UIKit/Label.h"
#include "Platform/UIKit/StoryboardSegue.h"
#include "Platform/UIKit/TableView.h"

namespace {

constexpr const char* kCellIdentifier = "Cell";

}  // namespace

void FontTypeSelectViewController::viewDidLoad() {
  ui::TableViewController::viewDidLoad();
  setTitle(NTLocalized("Font Type"));
  familyNames_ = ui::Font::familyNames();
  std::sort(familyNames_.begin(), familyNames_.end(), [](const std::string& a, const std::string& b) {
    return ns::caseInsensitiveCompare(a, b) == ns::ComparisonResult::Ascending;
  });
  tableView().registerCell(kCellIdentifier, [] {
    auto cell = std::make_shared<ui::TableViewCell>(ui::TableViewCellStyle::Default, kCellIdentifier);
    cell->setSegueIdentifier(kSelectedSegue);
    return cell;
  });
  auto current = std::find(familyNames_.begin(), familyNames_.end(), fontFamilyName_);
  if (current != familyNames_.end()) {
    tableView().reloadData();
    tableView().scrollToRow({0, int(current - familyNames_.begin())}, ui::TableViewScrollPosition::Middle, false);
  }
}

int FontTypeSelectViewController::numberOfRows(ui::TableView&, int section) {
  return section == 0 ? int(familyNames_.size()) : 0;
}

std::shared_ptr<ui::TableViewCell> FontTypeSelectViewController::cellForRow(ui::TableView& table,
                                                                          const ui::IndexPath& path) {
  auto cell = table.dequeueReusableCell(kCellIdentifier, path);
  const std::string& family = familyNames_[size_t(path.row)];
  cell->textLabel().setText(family);
  cell->textLabel().setFont(ui::Font::withName(family, fontSize_));
  cell->setAccessoryType(family == fontFamilyName_ ? ui::TableViewCellAccessoryType::Checkmark
                                                   : ui::TableViewCellAccessoryType::None);
  return cell;
}

void FontTypeSelectViewController::prepareForSegue(ui::StoryboardSegue& segue, void* sender) {
  if (segue.identifier() != kSelectedSegue) return;
  auto* cell = static_cast<ui::TableViewCell*>(sender);
  if (cell) fontFamilyName_ = cell->textLabel().text();
}
