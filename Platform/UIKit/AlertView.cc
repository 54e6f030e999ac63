#include "Platform/UIKit/AlertView.h"

#include "Platform/UIKit/AlertController.h"
#include "Platform/UIKit/Application.h"
#include "Platform/UIKit/Window.h"

namespace ui {

namespace {

std::shared_ptr<ViewController> topmostViewController() {
  auto& app = Application::shared();
  auto window = app.keyWindow();
  if (!window && !app.windows().empty()) window = app.windows().front();
  return window ? window->topViewController() : nullptr;
}

}  // namespace

AlertView::AlertView(std::string title, std::string message, std::weak_ptr<AlertViewDelegate> delegate)
    : title_(std::move(title)), message_(std::move(message)), delegate_(std::move(delegate)) {}

std::shared_ptr<AlertView> AlertView::make(std::string title, std::string message,
                                           std::weak_ptr<AlertViewDelegate> delegate,
                                           std::optional<std::string> cancelButtonTitle) {
  auto alert = std::make_shared<AlertView>(std::move(title), std::move(message), std::move(delegate));
  if (cancelButtonTitle) alert->cancelButtonIndex_ = alert->addButtonWithTitle(std::move(*cancelButtonTitle));
  return alert;
}

int64_t AlertView::addButtonWithTitle(std::string title) {
  buttons_.push_back(std::move(title));
  return numberOfButtons() - 1;
}

std::string AlertView::buttonTitleAtIndex(int64_t index) const {
  return index >= 0 && index < numberOfButtons() ? buttons_[static_cast<size_t>(index)] : std::string();
}

void AlertView::show() {
  if (visible_) return;
  visible_ = true;
  keepAlive_ = shared_from_this();
  controller_ = AlertController::make(title_, message_, AlertControllerStyle::Alert);
  std::weak_ptr<AlertView> weak = weak_from_this();
  for (int64_t i = 0; i < numberOfButtons(); ++i) {
    auto style = i == cancelButtonIndex_ ? AlertActionStyle::Cancel : AlertActionStyle::Default;
    // The controller dismisses itself before it runs the action.
    controller_->addAction(AlertAction::make(buttonTitleAtIndex(i), style, [weak, i](AlertAction&) {
      if (auto self = weak.lock()) self->finish(i);
    }));
  }
  if (auto top = topmostViewController()) top->presentViewController(controller_, true);
}

void AlertView::dismissWithClickedButtonIndex(int64_t index, bool animated) {
  if (!visible_) return;
  if (controller_ && controller_->presentingViewController()) {
    auto self = shared_from_this();
    controller_->dismissViewController(animated, [self, index] { self->finish(index); });
    return;
  }
  finish(index);
}

void AlertView::finish(int64_t index) {
  if (!visible_) return;
  visible_ = false;
  auto self = std::move(keepAlive_);
  if (auto delegate = delegate_.lock()) delegate->alertViewDidDismissWithButtonIndex(*this, index);
}

}  // namespace ui
