// The list of installed font families, each shown in its own font at the
// size being edited, the current one checked and scrolled to the middle.
// Choosing a row unwinds to the font screen ("fontSelected:") with that
// family as fontFamilyName.
#pragma once

#include <string>
#include <vector>

#include "Platform/UIKit/TableViewController.h"

class FontTypeSelectViewController : public ui::TableViewController {
 public:
  static constexpr const char* kSelectedSegue = "fontSelected";

  std::string typeName() const override { return "FontTypeSelectViewController"; }

  float fontSize() const { return fontSize_; }
  void setFontSize(float size) { fontSize_ = size; }
  const std::string& fontFamilyName() const { return fontFamilyName_; }
  void setFontFamilyName(std::string name) { fontFamilyName_ = std::move(name); }
  const std::vector<std::string>& familyNames() const { return familyNames_; }

  void viewDidLoad() override;
  void prepareForSegue(ui::StoryboardSegue& segue, void* sender) override;
  int numberOfSections(ui::TableView&) override { return 1; }
  int numberOfRows(ui::TableView&, int section) override;
  std::shared_ptr<ui::TableViewCell> cellForRow(ui::TableView& table, const ui::IndexPath& path) override;

 private:
  float fontSize_ = 0;
  std::string fontFamilyName_;
  std::vector<std::string> familyNames_;
};
