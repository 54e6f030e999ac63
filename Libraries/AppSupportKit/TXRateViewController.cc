#include "Libraries/AppSupportKit/TXRateViewController.h"

#include "Libraries/AppSupportKit/QBRate.h"
#include "Libraries/AppSupportKit/TXConfig.h"
#include "Libraries/AppSupportKit/TXKit.h"
#include "Libraries/AppSupportKit/TXPopupViews.h"
#include "Libraries/AppSupportKit/TXUIManager.h"
#include "Libraries/ErrorReport/ErrorReport.h"
#include "Platform/Dispatch/DelayedPerform.h"
#include "Platform/Foundation/Format.h"

namespace {

const ui::Size kCardSize{290, 250};

}  // namespace

void TXRateViewController::loadView() {
  using namespace TXPopupViews;
  setView(panel(kCardSize));
  const double w = kCardSize.width;

  viewFaces_ = panel(kCardSize);
  facesTitle_ = label({20, 40, w - 40, 60}, 18, true);
  sadButton_ = imageButton({35, 130, 60, 60}, "Sad face", action(*this, &TXRateViewController::didTapSadFace));
  normalButton_ = imageButton({115, 130, 60, 60}, "Neutral face", action(*this, &TXRateViewController::didTapNormalFace));
  happyButton_ = imageButton({195, 130, 60, 60}, "Happy face", action(*this, &TXRateViewController::didTapHappyFace));
  closeButton_ = imageButton({w - 38, 8, 30, 30}, "Close", action(*this, &TXRateViewController::remindLater));
  for (const auto& v : std::initializer_list<std::shared_ptr<ui::View>>{facesTitle_, sadButton_, normalButton_,
                                                                       happyButton_, closeButton_})
    viewFaces_->addSubview(v);

  viewRate_ = panel(kCardSize);
  rateTitle_ = label({20, 30, w - 40, 30}, 18, true);
  rateSubtitle_ = label({20, 64, w - 40, 80}, 14);
  rateButton_ = button({20, 152, w - 40, 40}, action(*this, &TXRateViewController::rateTheApp));
  dontShowAgainButton_ = button({20, 200, w - 40, 36}, action(*this, &TXRateViewController::dontShowAgain));
  close2Button_ = imageButton({w - 38, 8, 30, 30}, "Close", action(*this, &TXRateViewController::remindLater));
  for (const auto& v : std::initializer_list<std::shared_ptr<ui::View>>{rateTitle_, rateSubtitle_, rateButton_,
                                                                       dontShowAgainButton_, close2Button_})
    viewRate_->addSubview(v);

  viewEmail_ = panel(kCardSize);
  emailTitle_ = label({20, 30, w - 40, 30}, 18, true);
  emailSubtitle_ = label({20, 64, w - 40, 60}, 14);
  yesButton_ = button({20, 140, w - 40, 40}, action(*this, &TXRateViewController::sendFeedbackEmail));
  noButton_ = button({20, 190, w - 40, 40}, action(*this, &TXRateViewController::remindLater));
  close3Button_ = imageButton({w - 38, 8, 30, 30}, "Close", action(*this, &TXRateViewController::remindLater));
  for (const auto& v : std::initializer_list<std::shared_ptr<ui::View>>{emailTitle_, emailSubtitle_, yesButton_,
                                                                       noButton_, close3Button_})
    viewEmail_->addSubview(v);
}

void TXRateViewController::viewDidLoad() {
  TXViewController::viewDidLoad();
  view()->layer().setCornerRadius(10);
  for (const auto& panel : {viewFaces_, viewRate_, viewEmail_}) view()->addSubview(panel);

  facesTitle_->setText(ns::format(TXKit::localizedString("Hi, what do you think about %@?"), TXKit::applicationName()));
  rateTitle_->setText(TXKit::localizedString("Thank you!"));
  emailTitle_->setText(TXKit::localizedString("Thank you!"));
  emailSubtitle_->setText(TXKit::localizedString("Would you like to email us your feedback?"));
  rateSubtitle_->setText(TXKit::localizedString(
      "If you find this app useful, please rate this version with 5 stars on the App Store. Thanks!"));
  yesButton_->setTitle(TXKit::localizedString("Send Feedback"));
  noButton_->setTitle(TXKit::localizedString("Close"));
  dontShowAgainButton_->setTitle(TXKit::localizedString("Don't show again"));
  rateButton_->setTitle(TXKit::localizedString("Rate"));

  for (const auto& close : {closeButton_, close2Button_, close3Button_}) close->setImage(TXKit::imageNamed("CloseX"));
  sadButton_->setImage(TXKit::imageNamed("TXRateSadFace"));
  normalButton_->setImage(TXKit::imageNamed("TXRateRegularFace"));
  happyButton_->setImage(TXKit::imageNamed("TXRateHappyFace"));

  // Declining for good is offered only to someone who once put it off.
  if (!QBRate::sharedInstance().lastReminded()) dontShowAgainButton_->setHidden(true);
  for (const auto& b : {rateButton_, noButton_, yesButton_}) {
    b->setBackgroundColor(ui::Color::withWhite(0.94));
    b->layer().setCornerRadius(5);
  }
  viewEmail_->setAlpha(0);
  viewRate_->setAlpha(0);
}

void TXRateViewController::showPanelForFace(const std::string& face, const std::shared_ptr<ui::View>& next) {
  auto faces = viewFaces_;
  ui::View::animate(kPanelFadeDuration, [faces, next] {
    faces->setAlpha(0);
    next->setAlpha(1);
  });
  clickedFace_ = face;
}

void TXRateViewController::didTapSadFace() { showPanelForFace("Sad", viewEmail_); }
void TXRateViewController::didTapNormalFace() { showPanelForFace("Normal", viewEmail_); }
void TXRateViewController::didTapHappyFace() { showPanelForFace("Happy", viewRate_); }

std::string TXRateViewController::reasonAfterFace(const std::string& reason, const std::string& suffix) const {
  return clickedFace_ ? reason + " (" + suffix + ")" : reason;
}

void TXRateViewController::dontShowAgain() {
  QBRate::sharedInstance().declineThisVersion();
  closeViewWithReason(reasonAfterFace("Don't show again", "sad"));
}

void TXRateViewController::remindLater() {
  QBRate::sharedInstance().remindLater();
  closeViewWithReason(reasonAfterFace("Remind me later", "happy"));
}

void TXRateViewController::sendFeedbackEmail() {
  QBRate::sharedInstance().declineThisVersion();
  auto to = TXConfig::sharedInstance().appSupportEmail();
  TXKit::sharedInstance().openEmailWithSubject(
      "", TXKit::supportData(), true, to && to->isString() ? std::optional(to->stringValue()) : std::nullopt, false,
      std::nullopt, "", "");
  closeViewWithReason("Send feedback email");
}

void TXRateViewController::rateTheApp() {
  QBRate::sharedInstance().rate();
  std::weak_ptr<ui::ViewController> weak = shared();
  dispatch::performAfterDelay(this, "closeViewWithReason:", nullptr, kRateCloseDelay, [weak] {
    if (auto self = std::static_pointer_cast<TXRateViewController>(weak.lock()))
      self->closeViewWithReason("Rate the app");
  });
  QB_EVENT("Rate", std::nullopt);
}

void TXRateViewController::closeViewWithReason(const std::string& reason) {
  ns::Dictionary parameters{{"Dismiss_Reason", ns::Value(reason)},
                            {"Face_Clicked", ns::Value(clickedFace_.value_or("None"))}};
  QB_EVENT("Rate_Prompt", parameters);
  TXUIManager::dismissPopupViewController(shared(), TXPopupViews::kAnimationType);
}
