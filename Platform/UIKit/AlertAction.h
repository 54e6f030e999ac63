// One button of an alert or action sheet: a title, a style and a handler
// called (after the alert has gone) when it is tapped.
#pragma once

#include <functional>
#include <memory>
#include <string>

namespace ui {

enum class AlertActionStyle { Default = 0, Cancel = 1, Destructive = 2 };

class AlertAction {
 public:
  using Handler = std::function<void(AlertAction&)>;
  AlertAction(std::string title, AlertActionStyle style, Handler handler)
      : title_(std::move(title)), style_(style), handler_(std::move(handler)) {}
  static std::shared_ptr<AlertAction> make(std::string title, AlertActionStyle style, Handler handler = nullptr) {
    return std::make_shared<AlertAction>(std::move(title), style, std::move(handler));
  }

  const std::string& title() const { return title_; }
  AlertActionStyle style() const { return style_; }
  bool isEnabled() const { return enabled_; }
  void setEnabled(bool e) {
    enabled_ = e;
    if (changed_) changed_();
  }
  // Set by the alert showing the action, to follow its enabled state.
  void setChangeObserver(std::function<void()> observer) { changed_ = std::move(observer); }
  void run() {
    if (handler_) handler_(*this);
  }

 private:
  std::string title_;
  AlertActionStyle style_;
  Handler handler_;
  bool enabled_ = true;
  std::function<void()> changed_;
};

}  // namespace ui
