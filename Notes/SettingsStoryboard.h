// The settings scenes of the storyboard "Main" and their segues:
// "Settings" (presented: a navigation controller with
// "SettingsViewController", whose "Done" unwinds to "doneSettings:"),
// "general" to "SettingsGeneralViewController", "font" and "sortOrder"
// from there to "SettingsFontViewController" and
// "SettingsSortOrderViewController", "fontType" on to
// "FontTypeSelectViewController" (which unwinds by "fontSelected" to
// "fontSelected:"), and "backups" to "SettingsBackupsViewController";
// from the backup list "showBackup" to "SettingsBackupViewController"
// (also made alone for a file opened from outside), "previewBackup" from
// there (presented) to "SettingsBackupPreviewNavigationController" (a
// navigation controller with "SettingsBackupPreviewViewController"), and
// "showNote" on to "SettingsBackupNotePreviewViewController".
#pragma once

#include <string>
#include <vector>

#include "Platform/UIKit/Storyboard.h"

namespace SettingsStoryboard {

inline constexpr const char* kSettingsScene = "Settings";
inline constexpr const char* kSettingsSegue = "settings";
inline constexpr const char* kDoneSettingsSegue = "doneSettings";

// Registers the scenes, the segue "settings" from each of `sources` and the
// segues within the settings.
void registerScenes(ui::Storyboard& board, const std::vector<std::string>& sources);

}  // namespace SettingsStoryboard
