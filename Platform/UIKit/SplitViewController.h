// Master and detail side by side on a pad; collapsed into one stack on a
// phone. When collapsed, the delegate may take the detail (returning true
// from collapseSecondary...) and otherwise a navigation controller as
// primary pushes the detail onto its stack. showDetailViewController puts a
// controller on the detail side when expanded and pushes it onto the
// primary navigation stack when collapsed. The collapse itself happens when
// the split view first appears (or its controllers change while loaded), so
// a delegate set after the view loaded, as an application delegate does at
// launch, still decides; subclasses overriding viewWillAppear call this one.
#pragma once

#include <memory>

#include "Platform/UIKit/NavigationController.h"

namespace ui {

class SplitViewController;

enum class SplitDisplayMode { Automatic = 0, PrimaryHidden = 1, AllVisible = 2, PrimaryOverlay = 3 };

class SplitViewControllerDelegate {
 public:
  virtual ~SplitViewControllerDelegate() = default;
  // Whether the delegate dealt with the secondary (it is then dropped).
  virtual bool collapseSecondaryViewController(SplitViewController&, ViewController& secondary,
                                               ViewController& primary) {
    (void)secondary;
    (void)primary;
    return false;
  }
  // Whether the delegate showed the detail itself.
  virtual bool showDetailViewController(SplitViewController&, std::shared_ptr<ViewController> controller,
                                        void* sender) {
    (void)controller;
    (void)sender;
    return false;
  }
  virtual void willChangeToDisplayMode(SplitViewController&, SplitDisplayMode mode) { (void)mode; }
};

class SplitViewController : public ViewController {
 public:
  SplitViewController();
  std::string typeName() const override { return "SplitViewController"; }

  // [primary] or [primary, secondary]; a collapsed split shows one.
  const ViewControllers& viewControllers() const { return controllers_; }
  void setViewControllers(ViewControllers controllers);

  // Collapsed on a phone, expanded on a pad (read from the device each time
  // the view loads or the controllers change).
  bool isCollapsed() const { return collapsed_; }
  SplitDisplayMode displayMode() const;
  SplitDisplayMode preferredDisplayMode() const { return preferredMode_; }
  void setPreferredDisplayMode(SplitDisplayMode mode);
  // Shows or hides the primary side on a pad ("Master" button).
  std::shared_ptr<BarButtonItem> displayModeButtonItem();
  double preferredPrimaryColumnWidthFraction() const { return primaryFraction_; }
  void setPreferredPrimaryColumnWidthFraction(double f) { primaryFraction_ = f; }
  bool presentsWithGesture() const { return presentsWithGesture_; }
  void setPresentsWithGesture(bool p) { presentsWithGesture_ = p; }

  void setDelegate(std::weak_ptr<SplitViewControllerDelegate> d) { delegate_ = std::move(d); }
  std::shared_ptr<SplitViewControllerDelegate> delegate() const { return delegate_.lock(); }

  void showViewController(std::shared_ptr<ViewController> controller, void* sender) override;
  void showDetailViewController(std::shared_ptr<ViewController> controller, void* sender) override;

  void loadView() override;
  void viewWillAppear(bool animated) override;
  std::vector<ViewController*> appearanceChildren() const override;

 private:
  void collapseIfNeeded();
  void placeViews();

  ViewControllers controllers_;
  bool collapsed_ = false;
  SplitDisplayMode preferredMode_ = SplitDisplayMode::Automatic;
  bool primaryHidden_ = false;
  double primaryFraction_ = 0.4;
  bool presentsWithGesture_ = true;
  std::shared_ptr<BarButtonItem> displayModeButton_;
  std::shared_ptr<View> divider_;
  std::weak_ptr<SplitViewControllerDelegate> delegate_;
};

}  // namespace ui
