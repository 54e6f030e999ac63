#include "Notes/SettingsFontViewController.h"

#include "Notes/AppDelegate.h"
#include "Notes/FontTypeSelectViewController.h"
#include "Notes/NTAppearance.h"
#include "Notes/NTData.h"
#include "Notes/NTLocalized.h"
#include "Notes/NTNote.h"
#include "Notes/NTSettings.h"
#include "Notes/NotesAttributedString.h"
#include "Notes/SettingsTableRows.h"
#include "Platform/Foundation/Format.h"
#include "Platform/UIKit/Font.h"
#include "Platform/UIKit/TableView.h"

using SettingsTableRows::label;
using SettingsTableRows::row;

namespace {

constexpr const char* kSampleText = "The quick brown fox jumps over the lazy dog.";
constexpr double kSampleHeight = 96;  // two lines at the largest size

}  // namespace

SettingsFontViewController::SettingsFontViewController() : ui::TableViewController(ui::TableViewStyle::Grouped) {}

void SettingsFontViewController::viewDidLoad() {
  ui::TableViewController::viewDidLoad();
  fontFamilyNameLabel_ = label();
  fontSizeLabel_ = label();
  fontTypeLabel_ = label();
  sampeFontLabel_ = label(NTLocalized(kSampleText));
  sampeFontLabel_->setNumberOfLines(0);
  fontSizeSlider_ = std::make_shared<ui::Slider>();
  fontSizeSlider_->setMinimumValue(kMinimumFontSize);
  fontSizeSlider_->setMaximumValue(kMaximumFontSize);
  std::weak_ptr<SettingsFontViewController> weak = std::static_pointer_cast<SettingsFontViewController>(shared());
  fontSizeSlider_->addTarget(
      this, [weak](ui::Control&) { if (auto me = weak.lock()) me->fontSizeSliderChanged(); },
      ui::kControlEventValueChanged);
  registerUnwindAction(kFontSelectedAction, [weak](ui::StoryboardSegue& segue) {
    if (auto me = weak.lock()) me->fontSelected(segue);
  });
  auto sample = row({sampeFontLabel_});
  sampeFontLabel_->setFrame(ui::Rect(16, 8, 343, kSampleHeight - 16));
  auto type = row({fontTypeLabel_, fontFamilyNameLabel_}, nullptr, nullptr, true);
  type->setSegueIdentifier(kFontTypeSegue);
  setStaticSections({{"", "", {sample}}, {"", "", {type, row({fontSizeLabel_}, nullptr, fontSizeSlider_)}}});

  setTitle(NTLocalized("Notes Font & Size"));
  fontTypeLabel_->setText(NTLocalized("Font Type"));
  auto defaults = NTSettings::userDefaults();
  fontSizeSlider_->setValue(float(defaults->floatForKey(NTSettings::kFontSizeKey)));
  fontFamilyNameLabel_->setText(defaults->stringForKey(NTSettings::kFontFamilyNameKey).value_or(""));
  updateSampleFontLabel();
}

std::string SettingsFontViewController::titleForHeader(ui::TableView&, int section) {
  if (section == 0) return NTLocalized("Sample Note");
  if (section == 1) return NTLocalized("Notes Font Settings");
  return {};
}

void SettingsFontViewController::willDisplayCell(ui::TableView&, ui::TableViewCell& cell, const ui::IndexPath& path) {
  // The sample looks like the editor.
  if (path.section == 0 && path.row == 0) cell.setBackgroundColor(NTAppearance::detailBackgroundColor());
}

double SettingsFontViewController::heightForRow(ui::TableView&, const ui::IndexPath& path) {
  return path.section == 0 ? kSampleHeight : -1;
}

void SettingsFontViewController::updateSampleFontLabel() {
  float size = fontSizeSlider_->value();
  fontSizeLabel_->setText(ns::format(NTLocalized("Font Size: %@"), static_cast<long long>(size)));
  sampeFontLabel_->setFont(ui::Font::withName(fontFamilyNameLabel_->text(), size));
}

void SettingsFontViewController::prepareForSegue(ui::StoryboardSegue& segue, void*) {
  auto list = std::dynamic_pointer_cast<FontTypeSelectViewController>(segue.destinationViewController());
  if (!list) return;
  list->setFontSize(fontSizeSlider_->value());
  list->setFontFamilyName(fontFamilyNameLabel_->text());
}

void SettingsFontViewController::fontSelected(ui::StoryboardSegue& segue) {
  auto list = std::dynamic_pointer_cast<FontTypeSelectViewController>(segue.sourceViewController());
  if (!list) return;
  fontFamilyNameLabel_->setText(list->fontFamilyName());
  updateSampleFontLabel();
}

void SettingsFontViewController::viewWillDisappear(bool animated) {
  ui::TableViewController::viewWillDisappear(animated);
  auto defaults = NTSettings::userDefaults();
  bool changed = false;
  float size = fontSizeSlider_->value();
  if (size != float(defaults->floatForKey(NTSettings::kFontSizeKey))) {
    defaults->setFloat(size, NTSettings::kFontSizeKey);
    changed = true;
  }
  const std::string& family = fontFamilyNameLabel_->text();
  if (family != defaults->stringForKey(NTSettings::kFontFamilyNameKey).value_or("")) {
    defaults->setObject(ns::Value(family), NTSettings::kFontFamilyNameKey);
    changed = true;
  }
  defaults->synchronize();
  if (!changed) return;
  auto delegate = AppDelegate::instance();
  if (auto context = delegate ? delegate->managedObjectContext() : nullptr) restyleNotes(*context);
}

void SettingsFontViewController::restyleNotes(cd::ManagedObjectContext& context) {
  ns::TextAttributes attributes = NTSettings::noteTextAttributes();
  const ns::AttributeValue& font = attributes.at(ns::kFontAttributeName);
  for (const auto& note : NTData::fetchSortedNotesInFolder(context, nullptr)) {
    std::optional<ns::AttributedString> text = note->text();
    if (!text) continue;
    ns::AttributedString restyled = NotesAttributedString::attributedStringByChangingAttribute(*text, ns::kFontAttributeName, font);
    note->setText(&restyled, std::nullopt);
  }
  NTData::saveContext(context);
}
