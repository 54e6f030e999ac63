#include "Libraries/AppSupportKit/MessageViewController.h"

#include "Libraries/AppSupportKit/TXPopupViews.h"
#include "Libraries/AppSupportKit/TXUIManager.h"
#include "Platform/UIKit/Application.h"

namespace {

const ui::Size kCardSize{290, 420};

}  // namespace

MessageViewController::MessageViewController(std::string title, std::string message, ui::ImagePtr image,
                                             ns::Array actions)
    : message_(std::move(message)), image_(std::move(image)), actions_(std::move(actions)) {
  setTitle(std::move(title));
}

void MessageViewController::loadView() {
  using namespace TXPopupViews;
  setView(panel(kCardSize));
  const double w = kCardSize.width;
  imageView_ = std::make_shared<ui::ImageView>(nullptr);
  imageView_->setFrame({0, 0, w, 180});
  titleLabel_ = label({20, 192, w - 40, 28}, 18, true);
  messageLabel_ = label({20, 224, w - 40, 80}, 14);
  buttonOk_ = button({20, 312, w - 40, 40}, action(*this, &MessageViewController::clickedOk));
  buttonOk_->setTitle(kDefaultOkTitle);
  extraButtonView_ = std::make_shared<ui::View>(ui::Rect(20, 360, w - 40, 44));
  buttonExtra_ = button({0, 0, w - 40, 44}, action(*this, &MessageViewController::clickedExtra));
  buttonExtra_->setTitle(kDefaultExtraTitle);
  extraButtonView_->addSubview(buttonExtra_);
  for (const auto& v : std::initializer_list<std::shared_ptr<ui::View>>{imageView_, titleLabel_, messageLabel_,
                                                                       buttonOk_, extraButtonView_})
    view()->addSubview(v);
}

std::optional<std::string> MessageViewController::actionText(size_t index) const {
  if (index >= actions_.size() || !actions_[index].isString()) return std::nullopt;
  return actions_[index].stringValue();
}

std::optional<ns::URL> MessageViewController::extraAddress() const {
  auto text = actionText(3);
  return text ? ns::URL::withString(*text) : std::nullopt;
}

void MessageViewController::viewDidLoad() {
  TXViewController::viewDidLoad();
  view()->setClipsToBounds(true);
  view()->layer().setCornerRadius(10);
  titleLabel_->setText(title());
  messageLabel_->setText(message_);
  imageView_->setImage(image_);
  // The extra button needs its title and an address to open.
  if (!actionText(2) || !extraAddress()) extraButtonView_->setHidden(true);
  if (auto ok = actionText(0)) buttonOk_->setTitle(*ok);
  if (auto extra = actionText(2)) buttonExtra_->setTitle(*extra);
}

void MessageViewController::clickedOk() { TXUIManager::dismissPopupViewController(shared(), TXPopupViews::kAnimationType); }

void MessageViewController::clickedExtra() {
  if (auto address = extraAddress()) ui::Application::shared().openURL(address->absoluteString());
  TXUIManager::dismissPopupViewController(shared(), TXPopupViews::kAnimationType);
}
