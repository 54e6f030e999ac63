// The storyboard "Main": the screens of the app and the segues between them,
// registered in code.
//
// Scenes: "SplitViewController" (initial; master: a navigation controller
// with "FoldersViewController", detail: "DetailNavigationController"),
// "FoldersViewController", "NotesViewController", "DetailViewController",
// "DetailNavigationController" (a navigation controller with a
// "DetailViewController"). Segues: "show" and "showNotAnimated" (folder list
// to notes list), "showDetail" (notes list to the detail navigation
// controller).
#pragma once

inline constexpr const char* kMainStoryboardName = "Main";

// Registers every scene and segue of "Main"; again after
// ui::Storyboard::resetAll().
void registerMainStoryboard();
