// The classic alert view: a title, a message and buttons addressed by index
// in the order they were added (the cancel title, when given, is button 0).
// Its delegate is told the index of the button that dismissed it. It shows
// as an alert controller presented from the key window's topmost controller
// (so it is printed and tapped like any alert). Without a window it is
// visible but on no screen, and dismissWithClickedButtonIndex still answers.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace ui {

class AlertController;
class AlertView;

class AlertViewDelegate {
 public:
  virtual ~AlertViewDelegate() = default;
  // After the alert left the screen.
  virtual void alertViewDidDismissWithButtonIndex(AlertView& alertView, int64_t buttonIndex) = 0;
};

class AlertView : public std::enable_shared_from_this<AlertView> {
 public:
  static constexpr int64_t kNoButton = -1;

  // The delegate is held weakly.
  static std::shared_ptr<AlertView> make(std::string title, std::string message,
                                         std::weak_ptr<AlertViewDelegate> delegate,
                                         std::optional<std::string> cancelButtonTitle = std::nullopt);

  const std::string& title() const { return title_; }
  const std::string& message() const { return message_; }
  // The new button's index.
  int64_t addButtonWithTitle(std::string title);
  int64_t numberOfButtons() const { return static_cast<int64_t>(buttons_.size()); }
  // "" for an index out of range.
  std::string buttonTitleAtIndex(int64_t index) const;
  int64_t cancelButtonIndex() const { return cancelButtonIndex_; }
  void setCancelButtonIndex(int64_t index) { cancelButtonIndex_ = index; }

  // Shows it once; a visible alert keeps itself alive until dismissed.
  void show();
  bool isVisible() const { return visible_; }
  // What is on screen for it (null before show()).
  std::shared_ptr<AlertController> alertController() const { return controller_; }
  // As a tap on the button: the alert goes, then the delegate is told.
  void dismissWithClickedButtonIndex(int64_t index, bool animated);

  AlertView(std::string title, std::string message, std::weak_ptr<AlertViewDelegate> delegate);

 private:
  void finish(int64_t index);

  std::string title_;
  std::string message_;
  std::weak_ptr<AlertViewDelegate> delegate_;
  std::vector<std::string> buttons_;
  int64_t cancelButtonIndex_ = kNoButton;
  bool visible_ = false;
  std::shared_ptr<AlertController> controller_;
  std::shared_ptr<AlertView> keepAlive_;
};

}  // namespace ui
