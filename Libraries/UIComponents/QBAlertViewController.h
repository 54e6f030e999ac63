// The root controller of an alert's window. It knows its alert weakly: the
// alert keeps itself alive from show until dismissal, so an alert that is
// never shown is freed with its last owner.
#pragma once

#include <memory>

#include "Platform/UIKit/ViewController.h"

class QBAlertView;

class QBAlertViewController : public ui::ViewController {
 public:
  QBAlertViewController(std::shared_ptr<QBAlertView> alert, std::shared_ptr<ui::View> view);
  std::shared_ptr<QBAlertView> alertView() const { return alert_.lock(); }

 private:
  std::weak_ptr<QBAlertView> alert_;
};
