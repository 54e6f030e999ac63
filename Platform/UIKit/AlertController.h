// An alert (centred, may hold text fields) or an action sheet (along the
// bottom; on a pad a popover that needs a source view or bar button item).
// Tapping an action's button dismisses the controller (animated) and then
// runs the action's handler. At most one action may be of the cancel
// style; the cancel action comes last in a sheet and first of two in an
// alert. Rules the platform enforces throw ns::Exception here too.
//
// The renderer shows it as
//   Presented AlertController:
//     Alert "Title"
//       "Message"
//       TextField [Name] ""
//       [Cancel] [Save]
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Platform/UIKit/AlertAction.h"
#include "Platform/UIKit/ViewController.h"

namespace ui {

class TextField;

enum class AlertControllerStyle { ActionSheet = 0, Alert = 1 };

class AlertController : public ViewController {
 public:
  AlertController(std::string title, std::string message, AlertControllerStyle style);
  static std::shared_ptr<AlertController> make(std::string title, std::string message,
                                               AlertControllerStyle style) {
    return std::make_shared<AlertController>(std::move(title), std::move(message), style);
  }
  std::string typeName() const override { return "AlertController"; }

  AlertControllerStyle preferredStyle() const { return style_; }
  const std::string& message() const { return message_; }
  void setMessage(std::string m);
  void setTitle(std::string title) override;

  // Throws when a second cancel action is added.
  void addAction(std::shared_ptr<AlertAction> action);
  const std::vector<std::shared_ptr<AlertAction>>& actions() const { return actions_; }
  std::shared_ptr<AlertAction> preferredAction() const { return preferred_; }
  void setPreferredAction(std::shared_ptr<AlertAction> a) { preferred_ = std::move(a); }
  // Alerts only (throws for a sheet); the handler configures the new field.
  void addTextField(std::function<void(TextField&)> configure = nullptr);
  const std::vector<std::shared_ptr<TextField>>& textFields() const { return textFields_; }

  // Taps the action's button (the input layer goes through the button).
  void tapAction(const std::shared_ptr<AlertAction>& action);

  ~AlertController() override;
  void loadView() override;
  // The first text field takes the keyboard once the alert is on screen.
  void viewDidAppear(bool animated) override;

 private:
  void rebuild();
  std::vector<std::shared_ptr<AlertAction>> displayOrder() const;

  AlertControllerStyle style_;
  std::string message_;
  std::vector<std::shared_ptr<AlertAction>> actions_;
  std::shared_ptr<AlertAction> preferred_;
  std::vector<std::shared_ptr<TextField>> textFields_;
  std::shared_ptr<View> panel_;
  bool acting_ = false;
};

}  // namespace ui
