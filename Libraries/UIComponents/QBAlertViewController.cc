#include "Libraries/UIComponents/QBAlertViewController.h"

#include "Libraries/UIComponents/QBAlertView.h"
#include "Libraries/UIComponents/QBAlertViewHelper.h"
#include "Libraries/UIComponents/QBAlertViewWindow.h"
#include "Platform/Dispatch/Queue.h"
#include "Platform/UIKit/Application.h"
#include "Platform/UIKit/View.h"

QBAlertViewController::QBAlertViewController(std::shared_ptr<QBAlertView> alert, std::shared_ptr<ui::View> view)
    : alert_(std::move(alert)) {
  this->view()->setBackgroundColor(ui::Color::clear());
  this->view()->addSubview(std::move(view));
}

std::shared_ptr<ui::ViewController> QBAlertViewController::statusBarSource() const {
  if (!QBAlertViewHelper::isViewControllerBasedStatusBarAppearance()) return nullptr;
  auto* window = QBAlertViewHelper::appWindow();
  auto current = window ? QBAlertViewWindow::currentViewController(*window) : nullptr;
  // Our own window may be the first one: do not ask ourselves.
  if (current.get() == this) return nullptr;
  return current;
}

ui::StatusBarStyle QBAlertViewController::preferredStatusBarStyle() const {
  auto source = statusBarSource();
  return source ? source->preferredStatusBarStyle() : ui::ViewController::preferredStatusBarStyle();
}

bool QBAlertViewController::prefersStatusBarHidden() const {
  auto source = statusBarSource();
  return source ? source->prefersStatusBarHidden() : ui::ViewController::prefersStatusBarHidden();
}

void QBAlertViewController::viewWillTransitionToSize(ui::Size size) {
  ui::ViewController::viewWillTransitionToSize(size);
  std::weak_ptr<QBAlertViewController> weak = std::static_pointer_cast<QBAlertViewController>(shared_from_this());
  dispatch::Queue::main()->async([weak, size] {
    auto self = weak.lock();
    if (!self) return;
    // The host's rotation has no coordinator: it takes a transition's time.
    ui::View::animate(ui::ViewController::kTransitionDuration, [&] {
      self->setNeedsStatusBarAppearanceUpdate();
      if (auto alert = self->alertView()) alert->layoutValidateWithSize(size);
    });
  });
}
