// The root of the interface: the split view with the folder and notes lists
// on the master side and the note editor on the detail side. Over
// everything lie the floating add button (a new note from any screen, in the
// bottom-right corner) and the masking view that covers the content while
// the app lock is pending.
//
// Seam: the lock (passcode screen, biometrics, lock-out) is not here yet;
// its hooks exist and do nothing.
#pragma once

#include <memory>

#include "Platform/Foundation/NotificationCenter.h"
#include "Platform/UIKit/Button.h"
#include "Platform/UIKit/SplitViewController.h"

namespace ui {
class Application;
}

class SplitViewController : public ui::SplitViewController {
 public:
  // Points between the add button and the right and bottom edges.
  static constexpr double kAddButtonRightMargin = 14;
  static constexpr double kAddButtonBottomMargin = 8;
  static constexpr double kAddButtonFadeDuration = 0.3;

  SplitViewController() = default;
  ~SplitViewController() override;
  std::string typeName() const override { return "SplitViewController"; }

  // The one made by the storyboard; null before it woke.
  static SplitViewController* instance();

  void awakeFromNib() override;
  void viewDidLoad() override;
  void viewWillAppear(bool animated) override;
  void viewDidAppear(bool animated) override;
  ui::StatusBarStyle preferredStatusBarStyle() const override;

  // The add button's action: a new note in the folder on screen (the
  // default folder when none is), animated.
  void addClicked();
  // Fade the add button out, or back to its alpha of 0.8.
  void hideFloatingAddButton();
  void showFloatingAddButton();

  std::shared_ptr<ui::View> floatingAddButtonView() const { return floatingAddButtonView_; }
  std::shared_ptr<ui::View> maskingView() const { return maskingView_; }

  // Lock hooks, called by the application delegate (background) and by the
  // application's notifications (foreground, active). Seam: no lock yet.
  void applicationDidEnterBackground(ui::Application& application);
  void applicationWillEnterForeground();
  void applicationDidBecomeActive();

 private:
  void buildFloatingAddButton();

  std::shared_ptr<ui::View> floatingAddButtonView_;
  std::shared_ptr<ui::View> maskingView_;
  std::vector<ns::NotificationCenter::TokenPtr> observers_;
};
