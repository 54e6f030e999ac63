// A screen's controller: it loads its view on first use, receives the
// appearance callbacks (will/did appear/disappear) when its view comes on
// or leaves the screen, presents and dismisses other controllers, holds
// child controllers, a navigation item, the editing mode, and performs the
// segues of its storyboard scene.
//
// Appearance order: a push or pop sends will-disappear to the leaving
// controller, will-appear to the arriving one, then did-disappear and
// did-appear. Presenting sends will-appear and did-appear to the presented
// controller; a full-screen presentation also sends will-disappear before
// and did-disappear after them to the presenter. Dismissing runs the same
// in reverse roles. Animated transitions deliver the did-callbacks and the
// completion after kTransitionDuration on the main run loop's clock;
// unanimated ones at once. Containers forward the callbacks to the
// children whose views they show.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Platform/UIKit/BarButtonItem.h"
#include "Platform/UIKit/Geometry.h"
#include "Platform/UIKit/NavigationItem.h"
#include "Platform/UIKit/Responder.h"

namespace ui {

class NavigationController;
class ViewController;

inline constexpr const char* kViewControllerClassName = "UIViewController";
using ViewControllerAppearanceMethod = void(ViewController& receiver, bool animated);
class PopoverPresentationController;
class SplitViewController;
class Storyboard;
class StoryboardSegue;
class View;

enum class ModalPresentationStyle {
  Automatic = -2,
  FullScreen = 0,
  PageSheet = 1,
  FormSheet = 2,
  CurrentContext = 3,
  Custom = 4,
  OverFullScreen = 5,
  OverCurrentContext = 6,
  Popover = 7,
};

enum class ModalTransitionStyle { CoverVertical = 0, FlipHorizontal, CrossDissolve, PartialCurl };

enum class StatusBarStyle { Default = 0, LightContent = 1, DarkContent = 3 };

class ViewController : public Responder {
 public:
  static constexpr double kTransitionDuration = 0.35;

  ViewController();
  ~ViewController() override;

  template <class T = ViewController, class... Args>
  static std::shared_ptr<T> make(Args&&... args) {
    return std::make_shared<T>(std::forward<Args>(args)...);
  }
  std::shared_ptr<ViewController> shared() {
    return std::static_pointer_cast<ViewController>(shared_from_this());
  }

  virtual std::string typeName() const { return "ViewController"; }
  // The runtime class name: the unqualified C++ type name unless a
  // controller names itself ("Module.Name" like a module-qualified class).
  virtual std::string className() const;
  // Whether the class is the program's own rather than a framework's: the
  // platform layer's classes (namespace ui) are not, and a library's
  // controllers say so themselves.
  virtual bool isFromMainBundle() const;

  // The view: loadView() then viewDidLoad() on first use.
  std::shared_ptr<View> view();
  bool isViewLoaded() const { return view_ != nullptr; }
  void loadViewIfNeeded() { view(); }
  void setView(std::shared_ptr<View> view);
  // Makes the view: a plain view of the screen's size by default.
  virtual void loadView();
  virtual void viewDidLoad() {}
  // Called once by a storyboard after making the controller.
  virtual void awakeFromNib() {}
  virtual void viewWillLayoutSubviews() {}
  virtual void viewDidLayoutSubviews() {}

  // Appearance. viewDidAppear and viewDidDisappear are called through the
  // methods "viewDidAppear:" and "viewDidDisappear:" of the runtime class
  // kViewControllerClassName (rt::Class, signature
  // ViewControllerAppearanceMethod), whose first implementations call these
  // functions; replacing a method there wraps the callback of every
  // controller.
  virtual void viewWillAppear(bool animated) { (void)animated; }
  virtual void viewDidAppear(bool animated) { (void)animated; }
  virtual void viewWillDisappear(bool animated) { (void)animated; }
  virtual void viewDidDisappear(bool animated) { (void)animated; }
  // Starts or ends a transition: sends the callback unless the controller
  // is already in that state, and forwards to appearanceChildren().
  void beginAppearanceTransition(bool appearing, bool animated);
  void endAppearanceTransition();
  enum class AppearanceState { Disappeared, Appearing, Appeared, Disappearing };
  AppearanceState appearanceState() const { return appearance_; }
  // On screen or coming on.
  bool isVisible() const {
    return appearance_ == AppearanceState::Appeared || appearance_ == AppearanceState::Appearing;
  }
  bool isBeingPresented() const { return beingPresented_; }
  bool isBeingDismissed() const { return beingDismissed_; }
  bool isMovingToParentViewController() const { return movingToParent_; }
  bool isMovingFromParentViewController() const { return movingFromParent_; }

  // Containment.
  ViewController* parentViewController() const { return parent_; }
  const std::vector<std::shared_ptr<ViewController>>& childViewControllers() const { return children_; }
  void addChildViewController(std::shared_ptr<ViewController> child);
  void removeFromParentViewController();
  virtual void willMoveToParentViewController(ViewController* parent) { (void)parent; }
  virtual void didMoveToParentViewController(ViewController* parent) { (void)parent; }
  // The children that get this controller's appearance callbacks: by
  // default those whose views are inside this controller's view.
  virtual std::vector<ViewController*> appearanceChildren() const;
  NavigationController* navigationController() const;
  SplitViewController* splitViewController() const;

  // Presentation.
  void presentViewController(std::shared_ptr<ViewController> controller, bool animated,
                             std::function<void()> completion = nullptr);
  // Dismisses what this controller (or its ancestor) presented, or else
  // this controller itself when it was presented.
  void dismissViewController(bool animated, std::function<void()> completion = nullptr);
  std::shared_ptr<ViewController> presentedViewController() const;
  ViewController* presentingViewController() const;
  ModalPresentationStyle modalPresentationStyle() const { return presentationStyle_; }
  void setModalPresentationStyle(ModalPresentationStyle s) { presentationStyle_ = s; }
  ModalTransitionStyle modalTransitionStyle() const { return transitionStyle_; }
  void setModalTransitionStyle(ModalTransitionStyle s) { transitionStyle_ = s; }
  bool definesPresentationContext() const { return definesContext_; }
  void setDefinesPresentationContext(bool d) { definesContext_ = d; }
  // Made on first use; consulted when the style is Popover (and by alerts
  // shown as action sheets on a pad).
  PopoverPresentationController* popoverPresentationController();
  // Shows a controller in the primary context: pushed by an enclosing
  // navigation controller, else presented.
  virtual void showViewController(std::shared_ptr<ViewController> controller, void* sender);
  // Shows in the detail context: an enclosing split view's detail side,
  // else as showViewController.
  virtual void showDetailViewController(std::shared_ptr<ViewController> controller, void* sender);

  // Navigation.
  NavigationItem& navigationItem() { return navigationItem_; }
  const std::string& title() const { return title_; }
  // Also the navigation item's title.
  virtual void setTitle(std::string title);
  BarButtonItems& toolbarItems() { return toolbarItems_; }
  bool hidesBottomBarWhenPushed() const { return hidesBottomBar_; }
  void setHidesBottomBarWhenPushed(bool h) { hidesBottomBar_ = h; }

  // Editing mode and the item that toggles it ("Edit" / "Done").
  bool isEditing() const { return editing_; }
  virtual void setEditing(bool editing, bool animated);
  std::shared_ptr<BarButtonItem> editButtonItem();

  Size preferredContentSize() const { return preferredContentSize_; }
  void setPreferredContentSize(Size s) { preferredContentSize_ = s; }
  // The view is about to take a new size (rotation, window resize).
  virtual void viewWillTransitionToSize(Size size);
  virtual StatusBarStyle preferredStatusBarStyle() const { return StatusBarStyle::Default; }
  virtual bool prefersStatusBarHidden() const { return false; }
  void setNeedsStatusBarAppearanceUpdate() { ++statusBarUpdates_; }

  // Storyboards and segues.
  std::shared_ptr<Storyboard> storyboard() const { return storyboard_.lock(); }
  const std::string& sceneIdentifier() const { return sceneIdentifier_; }
  void setStoryboard(std::shared_ptr<Storyboard> storyboard, std::string sceneIdentifier);
  // Runs the segue of this controller's scene with the identifier (without
  // asking shouldPerformSegue, as a call from code does): makes the destination, calls prepareForSegue and shows
  // it by the segue's kind. Throws ns::Exception when the scene has no such
  // segue, as the platform does.
  void performSegue(const std::string& identifier, void* sender);
  // A control or a cell triggers the segue: runs it when shouldPerformSegue
  // agrees; whether it ran.
  bool triggerSegue(const std::string& identifier, void* sender);
  // Asked before a triggered segue runs.
  virtual bool shouldPerformSegue(const std::string& identifier, void* sender) {
    (void)identifier;
    (void)sender;
    return true;
  }
  virtual void prepareForSegue(StoryboardSegue& segue, void* sender) {
    (void)segue;
    (void)sender;
  }
  // Unwind actions this controller offers, by name ("doneSettings:").
  using UnwindAction = std::function<void(StoryboardSegue&)>;
  void registerUnwindAction(std::string name, UnwindAction action);
  const UnwindAction* unwindAction(const std::string& name) const;

  // Firm-press previews over `sourceView` (Previewing.h); the returned
  // context stays registered while the controller lives.
  std::shared_ptr<class PreviewingContext> registerForPreviewing(std::weak_ptr<class PreviewingDelegate> delegate,
                                                                 std::shared_ptr<View> sourceView);
  struct PreviewRegistration {
    std::weak_ptr<PreviewingDelegate> delegate;
    std::shared_ptr<PreviewingContext> context;
  };
  const std::vector<PreviewRegistration>& previewRegistrations() const { return previews_; }

  Responder* nextResponder() const override;

 private:
  friend class NavigationController;
  friend class SplitViewController;
  void finishPresentation(std::shared_ptr<ViewController> presented, bool hidesPresenter,
                          std::function<void()> completion);
  void dismissPresented(bool animated, std::function<void()> completion);
  ViewController* rootAncestor();
  const ViewController* rootAncestor() const;

  std::shared_ptr<View> view_;
  bool loadingView_ = false;
  AppearanceState appearance_ = AppearanceState::Disappeared;
  bool transitionAnimated_ = false;
  std::vector<std::weak_ptr<ViewController>> forwardedChildren_;
  bool beingPresented_ = false;
  bool beingDismissed_ = false;
  bool movingToParent_ = false;
  bool movingFromParent_ = false;
  ViewController* parent_ = nullptr;
  std::vector<std::shared_ptr<ViewController>> children_;
  std::shared_ptr<ViewController> presented_;
  ViewController* presenting_ = nullptr;
  bool presentedHidesPresenter_ = false;
  bool presentedInContext_ = false;  // shown only while this controller is
  ModalPresentationStyle presentationStyle_ = ModalPresentationStyle::Automatic;
  ModalTransitionStyle transitionStyle_ = ModalTransitionStyle::CoverVertical;
  bool definesContext_ = false;
  std::unique_ptr<PopoverPresentationController> popover_;
  NavigationItem navigationItem_;
  std::string title_;
  BarButtonItems toolbarItems_;
  bool hidesBottomBar_ = false;
  bool editing_ = false;
  std::shared_ptr<BarButtonItem> editButton_;
  Size preferredContentSize_;
  int statusBarUpdates_ = 0;
  std::weak_ptr<Storyboard> storyboard_;
  std::string sceneIdentifier_;
  std::vector<std::pair<std::string, UnwindAction>> unwindActions_;
  std::vector<PreviewRegistration> previews_;
};

}  // namespace ui
