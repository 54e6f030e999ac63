// The general settings under the settings screen: the note font (leads to
// the font screen), the sort order (leads to the sort order picker) and
// whether the notes list shows each note's date. Everything lives in the
// group defaults.
#pragma once

#include <memory>
#include <string>

#include "Platform/UIKit/Label.h"
#include "Platform/UIKit/Switch.h"
#include "Platform/UIKit/TableViewController.h"

class SettingsGeneralViewController : public ui::TableViewController {
 public:
  static constexpr const char* kFontSegue = "font";
  static constexpr const char* kSortOrderSegue = "sortOrder";

  SettingsGeneralViewController();
  std::string typeName() const override { return "SettingsGeneralViewController"; }

  void viewDidLoad() override;
  void viewWillAppear(bool animated) override;
  void updateView(bool animated);
  void showNoteDateSwitchChanged();

  // "By Date" for 0 and anything unknown, "Alphabet" for 1, "Manual" for 2.
  static std::string sortOrderTitle(int64_t order);

  ui::Label& fontNameLabel() { return *fontNameLabel_; }
  ui::Label& sortOrderLabel() { return *sortOrderLabel_; }
  ui::Switch& showNoteDateSwitch() { return *showNoteDateSwitch_; }

 private:
  std::shared_ptr<ui::Label> fontAndSizeLabel_, fontNameLabel_, sortOrderTitleLabel_, sortOrderLabel_,
      showNoteDateLabel_;
  std::shared_ptr<ui::Switch> showNoteDateSwitch_;
};
