// The kit's rating prompt, shown as a popup (animation type 2) in place of
// the rating scheduler's alert: three faces first; a sad or neutral face
// leads to an offer to mail feedback, a happy one to an invitation to rate.
//
// Every way out tells the scheduler (QBRate.h) what the user chose and
// logs "Rate_Prompt" with "Dismiss_Reason" and "Face_Clicked" ("Sad",
// "Normal", "Happy", or "None" before any face):
//   dontShowAgain      declineThisVersion  "Don't show again (sad)" / "Don't show again"
//   remindLater        remindLater         "Remind me later (happy)" / "Remind me later"
//   sendFeedbackEmail  declineThisVersion  "Send feedback email" (after queueing the support mail)
//   rateTheApp         rate                "Rate the app", 0.3 s later; "Rate" is logged at once
// The reasons name "(sad)" and "(happy)" whatever face was tapped.
//
// The card is built in code: the faces panel (question, three faces, a
// close cross), the rate panel ("Rate", "Don't show again", a cross) and
// the mail panel ("Send Feedback", "Close", a cross); the panels change by
// alpha only. The crosses and "Close" ask to be reminded later. "Don't show
// again" is hidden until the user has once asked to be reminded.
// Main thread only.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "Libraries/AppSupportKit/TXViewController.h"
#include "Platform/UIKit/Button.h"
#include "Platform/UIKit/Label.h"

class TXRateViewController : public TXViewController {
 public:
  static constexpr double kPanelFadeDuration = 0.3;
  static constexpr double kRateCloseDelay = 0.3;

  std::string typeName() const override { return "TXRateViewController"; }
  void loadView() override;
  void viewDidLoad() override;

  // Actions.
  void didTapSadFace();
  void didTapNormalFace();
  void didTapHappyFace();
  void rateTheApp();
  void sendFeedbackEmail();
  void remindLater();
  void dontShowAgain();

  // Outlets (after the view loaded).
  const std::shared_ptr<ui::View>& viewFaces() const { return viewFaces_; }
  const std::shared_ptr<ui::View>& viewRate() const { return viewRate_; }
  const std::shared_ptr<ui::View>& viewEmail() const { return viewEmail_; }
  const std::shared_ptr<ui::Label>& facesTitle() const { return facesTitle_; }
  const std::shared_ptr<ui::Label>& emailTitle() const { return emailTitle_; }
  const std::shared_ptr<ui::Label>& emailSubtitle() const { return emailSubtitle_; }
  const std::shared_ptr<ui::Label>& rateTitle() const { return rateTitle_; }
  const std::shared_ptr<ui::Label>& rateSubtitle() const { return rateSubtitle_; }
  const std::shared_ptr<ui::Button>& dontShowAgainButton() const { return dontShowAgainButton_; }
  const std::shared_ptr<ui::Button>& rateButton() const { return rateButton_; }
  const std::shared_ptr<ui::Button>& noButton() const { return noButton_; }
  const std::shared_ptr<ui::Button>& yesButton() const { return yesButton_; }
  const std::shared_ptr<ui::Button>& sadButton() const { return sadButton_; }
  const std::shared_ptr<ui::Button>& normalButton() const { return normalButton_; }
  const std::shared_ptr<ui::Button>& happyButton() const { return happyButton_; }
  const std::shared_ptr<ui::Button>& closeButton() const { return closeButton_; }
  const std::shared_ptr<ui::Button>& close2Button() const { return close2Button_; }
  const std::shared_ptr<ui::Button>& close3Button() const { return close3Button_; }
  // "Sad", "Normal" or "Happy" once a face was tapped.
  const std::optional<std::string>& clickedFace() const { return clickedFace_; }

 private:
  void showPanelForFace(const std::string& face, const std::shared_ptr<ui::View>& panel);
  void closeViewWithReason(const std::string& reason);
  // The reason with "(suffix)" once a face was tapped.
  std::string reasonAfterFace(const std::string& reason, const std::string& suffix) const;

  std::shared_ptr<ui::View> viewFaces_, viewRate_, viewEmail_;
  std::shared_ptr<ui::Label> facesTitle_, emailTitle_, emailSubtitle_, rateTitle_, rateSubtitle_;
  std::shared_ptr<ui::Button> dontShowAgainButton_, rateButton_, noButton_, yesButton_;
  std::shared_ptr<ui::Button> sadButton_, normalButton_, happyButton_;
  std::shared_ptr<ui::Button> closeButton_, close2Button_, close3Button_;
  std::optional<std::string> clickedFace_;
};
