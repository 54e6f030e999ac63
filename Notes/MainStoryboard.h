// The storyboard "Main": the screens of the app and the segues between them,
// registered in code.
//
// Scenes: "SplitViewController" (initial; master: a navigation controller
// with "FoldersViewController", detail: "DetailNavigationController"),
// "FoldersViewController", "NotesViewController", "DetailViewController",
// "DetailNavigationController" (a navigation controller with a
// "DetailViewController"), "MoveNoteViewController" and
// "MoveNoteNavigationController" (the picker in its navigation controller),
// and the settings scenes. Segues: "show" and "showNotAnimated" (folder
// list to notes list), "showDetail" (notes list to the detail navigation
// controller), "move" (notes list to the picker, presented), "selected"
// (picker, unwinding to "doneMove:"), "settings" (folder list and notes
// list, presented; its "Done" unwinds to "doneSettings:"); the settings
// scenes and their segues are listed in SettingsStoryboard.h.
#pragma once

inline constexpr const char* kMainStoryboardName = "Main";

// Registers every scene and segue of "Main"; again after
// ui::Storyboard::resetAll().
void registerMainStoryboard();
