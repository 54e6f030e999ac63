#include "Notes/MainStoryboard.h"

#include "Notes/DetailViewController.h"
#include "Notes/FoldersViewController.h"
#include "Notes/MoveNoteViewController.h"
#include "Notes/NotesViewController.h"
#include "Notes/SettingsStoryboard.h"
#include "Notes/SplitViewController.h"
#include "Platform/UIKit/NavigationController.h"
#include "Platform/UIKit/Storyboard.h"

namespace {

using ui::SegueDefinition;
using ui::SegueKind;

std::shared_ptr<ui::NavigationController> navigationWithRoot(ui::Storyboard& board, const char* scene) {
  return std::make_shared<ui::NavigationController>(board.instantiateViewController(scene));
}

}  // namespace

void registerMainStoryboard() {
  auto board = ui::Storyboard::named(kMainStoryboardName);
  std::weak_ptr<ui::Storyboard> weak = board;

  board->registerScene(
      "SplitViewController",
      [weak]() -> std::shared_ptr<ui::ViewController> {
        auto board = weak.lock();
        auto split = std::make_shared<SplitViewController>();
        split->setViewControllers({navigationWithRoot(*board, "FoldersViewController"),
                                   board->instantiateViewController("DetailNavigationController")});
        return split;
      },
      true);
  board->registerScene("FoldersViewController", []() -> std::shared_ptr<ui::ViewController> {
    return std::make_shared<FoldersViewController>();
  });
  board->registerScene("NotesViewController",
                       []() -> std::shared_ptr<ui::ViewController> { return std::make_shared<NotesViewController>(); });
  board->registerScene("MoveNoteViewController", []() -> std::shared_ptr<ui::ViewController> {
    return std::make_shared<MoveNoteViewController>();
  });
  board->registerScene("MoveNoteNavigationController", [weak]() -> std::shared_ptr<ui::ViewController> {
    return navigationWithRoot(*weak.lock(), "MoveNoteViewController");
  });
  board->registerScene("DetailViewController",
                       []() -> std::shared_ptr<ui::ViewController> { return std::make_shared<DetailViewController>(); });
  board->registerScene("DetailNavigationController", [weak]() -> std::shared_ptr<ui::ViewController> {
    return navigationWithRoot(*weak.lock(), "DetailViewController");
  });

  board->registerSegue("FoldersViewController", SegueDefinition{"show", SegueKind::Show, "NotesViewController", true});
  board->registerSegue("FoldersViewController",
                       SegueDefinition{"showNotAnimated", SegueKind::Show, "NotesViewController", false});
  board->registerSegue("NotesViewController",
                       SegueDefinition{"showDetail", SegueKind::ShowDetail, "DetailNavigationController", true});
  board->registerSegue("NotesViewController",
                       SegueDefinition{"move", SegueKind::PresentModally, "MoveNoteNavigationController", true});
  board->registerSegue("MoveNoteViewController", SegueDefinition{"selected", SegueKind::Unwind, "doneMove:", true});
  SettingsStoryboard::registerScenes(*board, {"FoldersViewController", "NotesViewController"});
}
