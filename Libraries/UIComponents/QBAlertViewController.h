// The root controller of an alert's window. It knows its alert weakly: the
// alert keeps itself alive from show until dismissal, so an alert that is
// never shown is freed with its last owner. The status bar follows what
// the application's window shows; a rotation lays the alert out again.
#pragma once

#include <memory>

#include "Platform/UIKit/ViewController.h"

class QBAlertView;

class QBAlertViewController : public ui::ViewController {
 public:
  QBAlertViewController(std::shared_ptr<QBAlertView> alert, std::shared_ptr<ui::View> view);
  std::string typeName() const override { return "QBAlertViewController"; }
  // A library's controller, not the program's own.
  bool isFromMainBundle() const override { return false; }
  std::shared_ptr<QBAlertView> alertView() const { return alert_.lock(); }

  ui::StatusBarStyle preferredStatusBarStyle() const override;
  bool prefersStatusBarHidden() const override;
  // After a zero delay on the main queue, animated: the status bar is
  // updated and the alert placed for `size`.
  void viewWillTransitionToSize(ui::Size size) override;

 private:
  // What the application's window shows, when the status bar follows it.
  std::shared_ptr<ui::ViewController> statusBarSource() const;
  std::weak_ptr<QBAlertView> alert_;
};
