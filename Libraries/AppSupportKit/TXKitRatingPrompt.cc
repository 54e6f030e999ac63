// The rating scheduler's prompt, routed into the kit's own rating popup.
#include "Libraries/AppSupportKit/QBRate.h"
#include "Libraries/AppSupportKit/TXKit.h"
#include "Libraries/AppSupportKit/TXPopupViews.h"
#include "Libraries/AppSupportKit/TXRateViewController.h"
#include "Libraries/AppSupportKit/TXUIManager.h"
#include "Platform/Foundation/NotificationCenter.h"

bool TXKit::QBRateShouldPromptForRating() {
  openRatingPrompt();
  return false;
}

void TXKit::openRatingPrompt() {
  if (isShowingMessage()) return;
  setShowingMessage(true);
  TXUIManager::presentPopupViewController(std::make_shared<TXRateViewController>(), TXPopupViews::kAnimationType,
                                          [] { TXKit::sharedInstance().setShowingMessage(false); });
  if (!isShowingMessage()) return;
  if (auto delegate = QBRate::sharedInstance().delegate()) delegate->QBRateDidPromptForRating();
  ns::NotificationCenter::defaultCenter().post("QBRateDidPromptForRating");
}
