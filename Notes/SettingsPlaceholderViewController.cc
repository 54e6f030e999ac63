#include "Notes/SettingsPlaceholderViewController.h"

#include "Platform/Foundation/Bundle.h"
#include "Platform/UIKit/NavigationController.h"

void SettingsPlaceholderViewController::registerScenes(ui::Storyboard& board, const std::vector<std::string>& sources) {
  board.registerScene(kSceneIdentifier, [] { return std::make_shared<SettingsPlaceholderViewController>(); });
  std::weak_ptr<ui::Storyboard> weakBoard = board.shared_from_this();
  board.registerScene(kSettingsScene, [weakBoard]() -> std::shared_ptr<ui::ViewController> {
    auto owner = weakBoard.lock();
    if (!owner) return nullptr;
    return std::make_shared<ui::NavigationController>(owner->instantiateViewController(kSceneIdentifier));
  });
  for (const auto& source : sources) {
    board.registerSegue(source, {kSettingsSegue, ui::SegueKind::PresentModally, kSettingsScene});
  }
  board.registerSegue(kSceneIdentifier, {kDoneSettingsSegue, ui::SegueKind::Unwind, "doneSettings:"});
}

void SettingsPlaceholderViewController::viewDidLoad() {
  setTitle(ns::Bundle::mainBundle()->localizedString("Settings", "", ""));
  std::weak_ptr<ui::ViewController> weak = shared();
  auto done = ui::BarButtonItem::withSystemItem(ui::BarButtonSystemItem::Done, [weak](ui::BarButtonItem& item) {
    if (auto me = weak.lock()) me->performSegue(kDoneSettingsSegue, &item);
  });
  navigationItem().setRightBarButtonItem(done);
}
