// The settings scene until the settings screen is built: a titled screen
// whose "Done" unwinds to "doneSettings:" of the list that opened it.
#pragma once

#include <string>
#include <vector>

#include "Platform/UIKit/Storyboard.h"
#include "Platform/UIKit/ViewController.h"

class SettingsPlaceholderViewController : public ui::ViewController {
 public:
  static constexpr const char* kSceneIdentifier = "SettingsPlaceholderViewController";
  // The presented scene: a navigation controller holding this screen.
  static constexpr const char* kSettingsScene = "Settings";
  static constexpr const char* kSettingsSegue = "settings";
  static constexpr const char* kDoneSettingsSegue = "doneSettings";

  // Registers the scenes, the segue "settings" from each of `sources` and
  // the unwind of "Done".
  static void registerScenes(ui::Storyboard& board, const std::vector<std::string>& sources);

  std::string typeName() const override { return "SettingsPlaceholderViewController"; }
  void viewDidLoad() override;
};
