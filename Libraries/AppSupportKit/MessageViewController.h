// The card of a remote message that comes with a picture: the picture, the
// title, the message, an OK button and an optional extra button that opens
// an address. Shown and dismissed as a popup (animation type 2).
//
// `actions` are read by position: 0 is the OK button's title, 2 the extra
// button's title and 3 the address the extra button opens (1 is not read).
// Entries must be strings: one of another type is ignored, so the OK button
// keeps the card's own title, and the extra button shows only when entry 2
// is a string and entry 3 a string that reads as an address. Built in code. Main thread
// only.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "Libraries/AppSupportKit/TXViewController.h"
#include "Platform/Foundation/URL.h"
#include "Platform/Foundation/Value.h"
#include "Platform/UIKit/Button.h"
#include "Platform/UIKit/Image.h"
#include "Platform/UIKit/ImageView.h"
#include "Platform/UIKit/Label.h"

class MessageViewController : public TXViewController {
 public:
  // The buttons' titles before any action names them.
  static constexpr const char* kDefaultOkTitle = "OK";
  static constexpr const char* kDefaultExtraTitle = "More";

  MessageViewController(std::string title, std::string message, ui::ImagePtr image, ns::Array actions);
  std::string typeName() const override { return "MessageViewController"; }
  void loadView() override;
  void viewDidLoad() override;

  const std::string& message() const { return message_; }
  const ui::ImagePtr& image() const { return image_; }
  const ns::Array& actions() const { return actions_; }

  void clickedOk();
  // Opens entry 3, then dismisses the card; nothing opens when it is no
  // address.
  void clickedExtra();

  // Outlets (after the view loaded).
  const std::shared_ptr<ui::Label>& titleLabel() const { return titleLabel_; }
  const std::shared_ptr<ui::Label>& messageLabel() const { return messageLabel_; }
  const std::shared_ptr<ui::ImageView>& imageView() const { return imageView_; }
  const std::shared_ptr<ui::View>& extraButtonView() const { return extraButtonView_; }
  const std::shared_ptr<ui::Button>& buttonOk() const { return buttonOk_; }
  const std::shared_ptr<ui::Button>& buttonExtra() const { return buttonExtra_; }

 private:
  // The string at `index` of the actions, if there is one.
  std::optional<std::string> actionText(size_t index) const;
  std::optional<ns::URL> extraAddress() const;

  std::string message_;
  ui::ImagePtr image_;
  ns::Array actions_;
  std::shared_ptr<ui::Label> titleLabel_, messageLabel_;
  std::shared_ptr<ui::ImageView> imageView_;
  std::shared_ptr<ui::View> extraButtonView_;
  std::shared_ptr<ui::Button> buttonOk_, buttonExtra_;
};
