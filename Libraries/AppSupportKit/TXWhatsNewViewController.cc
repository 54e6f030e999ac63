#include "Libraries/AppSupportKit/TXWhatsNewViewController.h"

#include "Libraries/AppSupportKit/ImageEffects.h"
#include "Libraries/AppSupportKit/QBRate.h"
#include "Libraries/AppSupportKit/TXKit.h"
#include "Libraries/AppSupportKit/TXPopupViews.h"
#include "Libraries/AppSupportKit/TXUIManager.h"
#include "Platform/Dispatch/Queue.h"
#include "Platform/Foundation/Format.h"

namespace {

const ui::Size kCardSize{290, 400};

}  // namespace

void TXWhatsNewViewController::loadView() {
  using namespace TXPopupViews;
  setView(panel(kCardSize));
  const double w = kCardSize.width;
  backgroundCircleImageView_ = std::make_shared<ui::ImageView>(nullptr);
  backgroundCircleImageView_->setFrame({(w - kCircleSize) / 2, 20, kCircleSize, kCircleSize});
  whatsnewImageView_ = std::make_shared<ui::ImageView>(nullptr);
  whatsnewImageView_->setFrame({(w - 40) / 2, 39, 40, 40});
  labelWhatsNew_ = label({20, 106, w - 40, 28}, 18, true);
  textViewWhatsNew_ = std::make_shared<ui::TextView>(ui::Rect(20, 140, w - 40, 130));
  textViewWhatsNew_->setEditable(false);
  labelEnjoying_ = label({20, 278, w - 40, 22}, 15, true);
  labelPleaseTellUs_ = label({20, 300, w - 40, 20}, 13);
  rateUsButton_ = button({40, 334, w - 80, 44}, action(*this, &TXWhatsNewViewController::didTapRateButton));
  closeButton_ = imageButton({w - 38, 8, 30, 30}, "Close", action(*this, &TXWhatsNewViewController::didTapCloseButton));
  for (const auto& v : std::initializer_list<std::shared_ptr<ui::View>>{
           backgroundCircleImageView_, whatsnewImageView_, labelWhatsNew_, textViewWhatsNew_, labelEnjoying_,
           labelPleaseTellUs_, rateUsButton_, closeButton_})
    view()->addSubview(v);
}

void TXWhatsNewViewController::viewDidLoad() {
  ui::ViewController::viewDidLoad();
  view()->layer().setCornerRadius(10);
  labelWhatsNew_->setText(ns::format(TXKit::localizedString("What's new in %@"), whatsNewVersion_));
  textViewWhatsNew_->setText(whatsNewReleaseNotes_);
  labelEnjoying_->setText(ns::format(TXKit::localizedString("Enjoying %@?"), TXKit::applicationName()));
  labelPleaseTellUs_->setText(TXKit::localizedString("Please tell us how we're doing"));
  rateUsButton_->setTitle(TXKit::localizedString("Rate us"));
  closeButton_->setImage(TXKit::imageNamed("CloseX"));
  whatsnewImageView_->setImage(TXKit::imageNamed("WhatsNew"));
  if (!themeColor_) themeColor_ = view()->tintColor();
  backgroundCircleImageView_->setImage(ImageEffects::imageWithCircleSize({kCircleSize, kCircleSize}, themeColor_));
  auto background = ImageEffects::stretchableImageForButtonBackgroundWithColor(themeColor_);
  rateUsButton_->setBackgroundImage(background, ui::kControlStateNormal);
  rateUsButton_->setBackgroundImage(background, ui::kControlStateDisabled);
  rateUsButton_->setTitleColor(ui::Color::white(), ui::kControlStateNormal);
}

void TXWhatsNewViewController::didTapCloseButton() {
  TXUIManager::dismissPopupViewController(shared(), TXPopupViews::kAnimationType);
}

void TXWhatsNewViewController::didTapRateButton() {
  QBRate::sharedInstance().rate();
  std::weak_ptr<ui::ViewController> weak = shared();
  dispatch::Queue::main()->afterSeconds(kRateCloseDelay, [weak] {
    if (auto self = weak.lock()) TXUIManager::dismissPopupViewController(self, TXPopupViews::kAnimationType);
  });
}
