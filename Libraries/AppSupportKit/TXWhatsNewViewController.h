// The card the kit shows once after an update whose store release notes
// belong to the installed version: "What's new in <version>", the notes,
// "Enjoying <app>?", "Please tell us how we're doing", "Rate us" and a close
// cross, over a circle in the theme colour (the view's tint colour when
// none was given). Shown and dismissed as a popup (animation type 2).
//
// "Rate us" marks this version rated and opens the store's review page
// (QBRate::rate), and the card goes 0.3 s later. Built in code. Main
// thread only.
#pragma once

#include <memory>
#include <string>

#include "Platform/UIKit/Button.h"
#include "Platform/UIKit/Color.h"
#include "Platform/UIKit/ImageView.h"
#include "Platform/UIKit/Label.h"
#include "Platform/UIKit/TextView.h"
#include "Platform/UIKit/ViewController.h"

class TXWhatsNewViewController : public ui::ViewController {
 public:
  static constexpr double kRateCloseDelay = 0.3;
  static constexpr double kCircleSize = 78;

  std::string typeName() const override { return "TXWhatsNewViewController"; }
  // A library's controller, not the program's own.
  bool isFromMainBundle() const override { return false; }
  void loadView() override;
  void viewDidLoad() override;

  // Set before the card is shown.
  void setWhatsNewVersion(std::string version) { whatsNewVersion_ = std::move(version); }
  void setWhatsNewReleaseNotes(std::string notes) { whatsNewReleaseNotes_ = std::move(notes); }
  void setThemeColor(ui::ColorPtr color) { themeColor_ = std::move(color); }
  const std::string& whatsNewVersion() const { return whatsNewVersion_; }
  const std::string& whatsNewReleaseNotes() const { return whatsNewReleaseNotes_; }
  // After the view loaded: the colour given, else the view's tint colour.
  const ui::ColorPtr& themeColor() const { return themeColor_; }

  void didTapCloseButton();
  void didTapRateButton();

  // Outlets (after the view loaded).
  const std::shared_ptr<ui::ImageView>& backgroundCircleImageView() const { return backgroundCircleImageView_; }
  const std::shared_ptr<ui::Button>& rateUsButton() const { return rateUsButton_; }
  const std::shared_ptr<ui::Label>& labelWhatsNew() const { return labelWhatsNew_; }
  const std::shared_ptr<ui::TextView>& textViewWhatsNew() const { return textViewWhatsNew_; }
  const std::shared_ptr<ui::Label>& labelEnjoying() const { return labelEnjoying_; }
  const std::shared_ptr<ui::Label>& labelPleaseTellUs() const { return labelPleaseTellUs_; }
  const std::shared_ptr<ui::ImageView>& whatsnewImageView() const { return whatsnewImageView_; }

 private:
  std::string whatsNewVersion_;
  std::string whatsNewReleaseNotes_;
  ui::ColorPtr themeColor_;
  std::shared_ptr<ui::ImageView> backgroundCircleImageView_, whatsnewImageView_;
  std::shared_ptr<ui::Button> rateUsButton_, closeButton_;
  std::shared_ptr<ui::Label> labelWhatsNew_, labelEnjoying_, labelPleaseTellUs_;
  std::shared_ptr<ui::TextView> textViewWhatsNew_;
};
