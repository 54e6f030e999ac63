#include "Notes/SettingsGeneralViewController.h"

#include <cmath>

#include "Notes/NTLocalized.h"
#include "Notes/NTSettings.h"
#include "Notes/SettingsTableRows.h"
#include "Platform/Foundation/Format.h"
#include "Platform/UIKit/TableView.h"

using SettingsTableRows::label;
using SettingsTableRows::row;

SettingsGeneralViewController::SettingsGeneralViewController() : ui::TableViewController(ui::TableViewStyle::Grouped) {}

void SettingsGeneralViewController::viewDidLoad() {
  ui::TableViewController::viewDidLoad();
  fontAndSizeLabel_ = label();
  fontNameLabel_ = label();
  sortOrderTitleLabel_ = label();
  sortOrderLabel_ = label();
  showNoteDateLabel_ = label();
  showNoteDateSwitch_ = std::make_shared<ui::Switch>();
  std::weak_ptr<SettingsGeneralViewController> weak = std::static_pointer_cast<SettingsGeneralViewController>(shared());
  showNoteDateSwitch_->addTarget(
      this, [weak](ui::Control&) { if (auto me = weak.lock()) me->showNoteDateSwitchChanged(); },
      ui::kControlEventValueChanged);
  auto font = row({fontAndSizeLabel_, fontNameLabel_}, nullptr, nullptr, true);
  font->setSegueIdentifier(kFontSegue);
  auto sort = row({sortOrderTitleLabel_, sortOrderLabel_}, nullptr, nullptr, true);
  sort->setSegueIdentifier(kSortOrderSegue);
  setStaticSections({{"", "", {font, sort, row({showNoteDateLabel_}, nullptr, showNoteDateSwitch_)}}});

  setTitle(NTLocalized("Settings"));
  fontAndSizeLabel_->setText(NTLocalized("Font & Size"));
  sortOrderTitleLabel_->setText(NTLocalized("Sort Order"));
  showNoteDateLabel_->setText(NTLocalized("Show Note Date"));
}

void SettingsGeneralViewController::viewWillAppear(bool animated) {
  ui::TableViewController::viewWillAppear(animated);
  updateView(false);
  if (auto selected = tableView().indexPathForSelectedRow()) tableView().deselectRow(*selected, true);
}

std::string SettingsGeneralViewController::sortOrderTitle(int64_t order) {
  if (order == 1) return NTLocalized("Alphabet");
  if (order == 2) return NTLocalized("Manual");
  return NTLocalized("By Date");
}

void SettingsGeneralViewController::updateView(bool animated) {
  if (!isViewLoaded()) return;
  auto defaults = NTSettings::userDefaults();
  showNoteDateSwitch_->setOn(defaults->boolForKey(NTSettings::kShowNoteDateKey), animated);
  std::string family = defaults->stringForKey(NTSettings::kFontFamilyNameKey).value_or("");
  double size = std::trunc(defaults->floatForKey(NTSettings::kFontSizeKey));
  fontNameLabel_->setText(ns::format("%@ %ld", family, static_cast<long>(size)));
  sortOrderLabel_->setText(sortOrderTitle(defaults->integerForKey(NTSettings::kNotesSortOrderKey)));
}

void SettingsGeneralViewController::showNoteDateSwitchChanged() {
  auto defaults = NTSettings::userDefaults();
  defaults->setBool(showNoteDateSwitch_->isOn(), NTSettings::kShowNoteDateKey);
  defaults->synchronize();
}
