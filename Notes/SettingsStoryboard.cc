#include "Notes/SettingsStoryboard.h"

#include "Notes/FontTypeSelectViewController.h"
#include "Notes/SettingsBackupNotePreviewViewController.h"
#include "Notes/SettingsBackupPreviewViewController.h"
#include "Notes/SettingsBackupViewController.h"
#include "Notes/SettingsBackupsViewController.h"
#include "Notes/SettingsFontViewController.h"
#include "Notes/SettingsGeneralViewController.h"
#include "Notes/SettingsSortOrderViewController.h"
#include "Notes/SettingsViewController.h"
#include "Platform/UIKit/BarButtonItem.h"
#include "Platform/UIKit/NavigationController.h"

namespace SettingsStoryboard {

namespace {

template <class Controller>
void registerScene(ui::Storyboard& board, const char* identifier) {
  board.registerScene(identifier, []() -> std::shared_ptr<ui::ViewController> { return std::make_shared<Controller>(); });
}

// The storyboard's "Done" of the settings screen.
std::shared_ptr<ui::ViewController> settingsScreen() {
  auto settings = std::make_shared<SettingsViewController>();
  std::weak_ptr<ui::ViewController> weak = settings;
  settings->navigationItem().setRightBarButtonItem(
      ui::BarButtonItem::withSystemItem(ui::BarButtonSystemItem::Done, [weak](ui::BarButtonItem& item) {
        if (auto me = weak.lock()) me->performSegue(kDoneSettingsSegue, &item);
      }));
  return settings;
}

}  // namespace

void registerScenes(ui::Storyboard& board, const std::vector<std::string>& sources) {
  board.registerScene("SettingsViewController", settingsScreen);
  registerScene<SettingsGeneralViewController>(board, "SettingsGeneralViewController");
  registerScene<SettingsSortOrderViewController>(board, "SettingsSortOrderViewController");
  registerScene<SettingsFontViewController>(board, "SettingsFontViewController");
  registerScene<FontTypeSelectViewController>(board, "FontTypeSelectViewController");
  registerScene<SettingsBackupsViewController>(board, "SettingsBackupsViewController");
  registerScene<SettingsBackupViewController>(board, SettingsBackupViewController::kSceneIdentifier);
  registerScene<SettingsBackupPreviewViewController>(board, SettingsBackupPreviewViewController::kSceneIdentifier);
  registerScene<SettingsBackupNotePreviewViewController>(board, "SettingsBackupNotePreviewViewController");
  std::weak_ptr<ui::Storyboard> weakBoard = board.shared_from_this();
  board.registerScene(SettingsBackupPreviewViewController::kNavigationSceneIdentifier,
                      [weakBoard]() -> std::shared_ptr<ui::ViewController> {
                        auto owner = weakBoard.lock();
                        if (!owner) return nullptr;
                        return std::make_shared<ui::NavigationController>(
                            owner->instantiateViewController(SettingsBackupPreviewViewController::kSceneIdentifier));
                      });
  board.registerScene(kSettingsScene, [weakBoard]() -> std::shared_ptr<ui::ViewController> {
    auto owner = weakBoard.lock();
    if (!owner) return nullptr;
    return std::make_shared<ui::NavigationController>(owner->instantiateViewController("SettingsViewController"));
  });

  for (const auto& source : sources)
    board.registerSegue(source, {kSettingsSegue, ui::SegueKind::PresentModally, kSettingsScene});
  board.registerSegue("SettingsViewController", {kDoneSettingsSegue, ui::SegueKind::Unwind, "doneSettings:"});
  board.registerSegue("SettingsViewController",
                      {SettingsViewController::kGeneralSegue, ui::SegueKind::Show, "SettingsGeneralViewController"});
  board.registerSegue("SettingsViewController",
                      {SettingsViewController::kBackupsSegue, ui::SegueKind::Show, "SettingsBackupsViewController"});
  board.registerSegue("SettingsBackupsViewController", {SettingsBackupsViewController::kShowBackupSegue,
                                                        ui::SegueKind::Show,
                                                        SettingsBackupViewController::kSceneIdentifier});
  board.registerSegue(SettingsBackupViewController::kSceneIdentifier,
                      {SettingsBackupViewController::kPreviewSegue, ui::SegueKind::PresentModally,
                       SettingsBackupPreviewViewController::kNavigationSceneIdentifier});
  board.registerSegue(SettingsBackupPreviewViewController::kSceneIdentifier,
                      {SettingsBackupPreviewViewController::kNotePreviewSegue, ui::SegueKind::Show,
                       "SettingsBackupNotePreviewViewController"});
  board.registerSegue("SettingsGeneralViewController", {SettingsGeneralViewController::kFontSegue,
                                                        ui::SegueKind::Show, "SettingsFontViewController"});
  board.registerSegue("SettingsGeneralViewController", {SettingsGeneralViewController::kSortOrderSegue,
                                                        ui::SegueKind::Show, "SettingsSortOrderViewController"});
  board.registerSegue("SettingsFontViewController", {SettingsFontViewController::kFontTypeSegue, ui::SegueKind::Show,
                                                     "FontTypeSelectViewController"});
  board.registerSegue("FontTypeSelectViewController", {FontTypeSelectViewController::kSelectedSegue,
                                                       ui::SegueKind::Unwind,
                                                       SettingsFontViewController::kFontSelectedAction});
}

}  // namespace SettingsStoryboard
