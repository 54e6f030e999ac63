// Jotshare's one screen: the shared text, in the note font, to edit; Done
// hands it to Quillbox as a package in the app group's hand-over directory
// (ActionHelper), Cancel ends without saving.
//
// When the view loads, the screen takes the note app's looks (NTAppearance),
// shows its icon "AppIconMy" as the title, names Done after the extension
// (the main bundle's display name, else its name), follows the keyboard,
// and loads the best shared item (ActionItemChoice) into the text view
// (ActionItemText). A loaded item arrives on the provider's thread and is
// converted there; only the text view is set on the main queue, and only
// while the text view exists. A load that gives nothing cancels the request.
//
// Done reports a failed write: the screen stays, with the text, and an
// alert says why, so the user's text is never dropped silently.
#pragma once

#include <memory>

#include "Extension/ActionItemChoice.h"
#include "Platform/ExtensionHost/ExtensionContext.h"
#include "Platform/Foundation/NotificationCenter.h"
#include "Platform/UIKit/BarButtonItem.h"
#include "Platform/UIKit/NavigationBar.h"
#include "Platform/UIKit/NavigationItem.h"
#include "Platform/UIKit/TextView.h"
#include "Platform/UIKit/ViewController.h"

class ActionViewController : public ui::ViewController {
 public:
  static constexpr const char* kAppIconImageName = "AppIconMy";
  // Texts of the alert after a failed Done.
  static constexpr const char* kSaveFailedTitle = "The note could not be saved";
  static constexpr const char* kSaveFailedButton = "OK";

  ActionViewController() = default;
  ~ActionViewController() override;
  std::string typeName() const override { return "ActionViewController"; }

  // The request the host started the extension for; set before the view loads.
  std::shared_ptr<ext::ExtensionContext> extensionContext() const { return context_; }
  void setExtensionContext(std::shared_ptr<ext::ExtensionContext> context) { context_ = std::move(context); }

  // The interface: a bar across the top (Cancel on the left, Done on the
  // right) over the text view.
  void loadView() override;
  void viewDidLoad() override;

  // Outlets (weak, as the interface owns the views).
  std::shared_ptr<ui::TextView> textView() const { return textView_.lock(); }
  std::shared_ptr<ui::NavigationBar> navigationBar() const { return navigationBar_.lock(); }
  // The item the bar shows (the interface's navigation item).
  std::shared_ptr<ui::NavigationItem> barItem() const { return barItem_.lock(); }
  std::shared_ptr<ui::BarButtonItem> doneButton() const { return doneButton_.lock(); }

  // What the screen chose to load (empty before the view loads or when
  // there was nothing).
  const ActionItemChoice& choice() const { return choice_; }

  // Actions. `done` writes the package and completes the request, or shows
  // why it could not write; `cancel` completes without saving (also after
  // a failed load, from the provider's thread, with no sender).
  void done();
  void cancel(const void* sender);
  // Sets the text view's bottom insets to the keyboard's height on
  // will-show, to 0 otherwise.
  void keyboardWillShowOrHide(const ns::Notification& notification);

 private:
  void applyAppearance();
  void setUpTitleView();
  void loadChosenItem();
  void showSaveError(const ns::Error& error);

  std::shared_ptr<ext::ExtensionContext> context_;
  std::weak_ptr<ui::TextView> textView_;
  std::weak_ptr<ui::NavigationBar> navigationBar_;
  std::weak_ptr<ui::NavigationItem> barItem_;
  std::weak_ptr<ui::BarButtonItem> doneButton_;
  ActionItemChoice choice_;
  ns::NotificationCenter::TokenPtr keyboardWillShow_;
  ns::NotificationCenter::TokenPtr keyboardWillHide_;
};
