// The font and size of the notes, with a live sample. The family (shown in
// fontFamilyNameLabel, chosen on the family list) and the size (the
// slider) are pending until the screen is left; leaving it in any way
// stores what changed and, only when something did, restyles every note
// in one pass and one save, keeping each note's time stamp and the bold
// and italic of its runs where the new family has those faces.
#pragma once

#include <memory>
#include <string>

#include "Platform/UIKit/Label.h"
#include "Platform/UIKit/StoryboardSegue.h"
#include "Platform/UIKit/Switch.h"
#include "Platform/UIKit/TableViewController.h"

namespace cd {
class ManagedObjectContext;
}

class SettingsFontViewController : public ui::TableViewController {
 public:
  static constexpr const char* kFontTypeSegue = "fontType";
  static constexpr const char* kFontSelectedAction = "fontSelected:";
  static constexpr float kMinimumFontSize = 10;
  static constexpr float kMaximumFontSize = 40;

  SettingsFontViewController();
  std::string typeName() const override { return "SettingsFontViewController"; }

  void viewDidLoad() override;
  void viewWillDisappear(bool animated) override;
  void prepareForSegue(ui::StoryboardSegue& segue, void* sender) override;
  std::string titleForHeader(ui::TableView&, int section) override;
  void willDisplayCell(ui::TableView&, ui::TableViewCell& cell, const ui::IndexPath& path) override;
  double heightForRow(ui::TableView&, const ui::IndexPath& path) override;

  void fontSizeSliderChanged() { updateSampleFontLabel(); }
  void updateSampleFontLabel();
  // The unwind from the family list.
  void fontSelected(ui::StoryboardSegue& segue);

  // Gives every note of `context` its text in `font` (traits kept) without
  // touching its time stamp, then saves once.
  static void restyleNotes(cd::ManagedObjectContext& context);

  ui::Label& fontFamilyNameLabel() { return *fontFamilyNameLabel_; }
  ui::Label& fontSizeLabel() { return *fontSizeLabel_; }
  ui::Label& sampleFontLabel() { return *sampeFontLabel_; }
  ui::Slider& fontSizeSlider() { return *fontSizeSlider_; }

 private:
  std::shared_ptr<ui::Label> fontFamilyNameLabel_, fontSizeLabel_, fontTypeLabel_, sampeFontLabel_;
  std::shared_ptr<ui::Slider> fontSizeSlider_;
};
