#include "Libraries/AppSupportKit/TXMoreAppsTableViewCell.h"

#include <algorithm>
#include <cmath>

#include "Libraries/AppSupportKit/ImageEffects.h"
#include "Libraries/AppSupportKit/TXAppStore.h"
#include "Libraries/AppSupportKit/TXConfig.h"
#include "Libraries/ErrorReport/ErrorReport.h"
#include "Platform/Foundation/UserDefaults.h"
#include "Platform/UIKit/Font.h"

namespace {

std::vector<std::string> clickedAppIDs() {
  return ns::UserDefaults::standardUserDefaults()
      ->stringArrayForKey(TXMoreAppsTableViewCell::kClickedAppIDsKey)
      .value_or(std::vector<std::string>{});
}

bool showsBadge(const TXKit::MoreApp& app, const std::vector<std::string>& clicked) {
  return app.badge && std::find(clicked.begin(), clicked.end(), app.appStoreID) == clicked.end();
}

// Named, so that the screen's text shows "(Badge)" where it is drawn.
ui::ImagePtr badgeImage(const std::string& text) {
  auto image = ImageEffects::badgeImageWithText(text, 0);
  return image ? std::make_shared<const ui::Image>(image->bitmap(), "Badge") : nullptr;
}

}  // namespace

TXMoreAppsTableViewCell::TXMoreAppsTableViewCell(ui::TableViewCellStyle style, std::string reuseIdentifier)
    : ui::TableViewCell(style, std::move(reuseIdentifier)) {
  setMoreApps(TXKit::sharedInstance().moreApps());
}

bool TXMoreAppsTableViewCell::hasBadge() {
  auto clicked = clickedAppIDs();
  auto apps = TXKit::sharedInstance().moreApps();
  return std::any_of(apps.begin(), apps.end(), [&](const TXKit::MoreApp& app) { return showsBadge(app, clicked); });
}

bool TXMoreAppsTableViewCell::isEmpty() { return TXKit::sharedInstance().moreApps().empty(); }

void TXMoreAppsTableViewCell::setMoreApps(std::vector<TXKit::MoreApp> apps) {
  auto defaults = ns::UserDefaults::standardUserDefaults();
  if (TXConfig::sharedInstance().appMoreAppsBadgeReset()) {
    defaults->removeObjectForKey(kClickedAppIDsKey);
    defaults->synchronize();
  }
  moreApps_ = std::move(apps);
  if (view_) view_->removeFromSuperview();
  buttons_.clear();
  labels_.clear();
  badges_.clear();

  view_ = std::make_shared<ui::ScrollView>(contentView().bounds());
  view_->setAutoresizingMask(ui::kAutoresizingFlexibleWidth | ui::kAutoresizingFlexibleHeight);
  contentView().addSubview(view_);

  auto clicked = clickedAppIDs();
  for (const TXKit::MoreApp& app : moreApps_) {
    auto label = std::make_shared<ui::Label>();
    label->setFont(ui::Font::systemFont(11));
    label->setTextAlignment(ui::TextAlignment::Center);
    label->setText(app.name);
    view_->addSubview(label);
    labels_.push_back(label);

    auto button = ui::Button::withType(ui::ButtonType::Custom);
    button->setImage(app.artwork);
    button->setAccessibilityLabel(app.name);
    button->addTarget(
        this, [this](ui::Control& control) { buttonClicked(static_cast<const ui::Button&>(control)); },
        ui::kControlEventTouchUpInside);
    ui::Layer& shadow = button->imageView().layer();
    shadow.setShadowColor(ui::Color::gray());
    shadow.setShadowOffset({0, 1});
    shadow.setShadowOpacity(1.0);
    shadow.setShadowRadius(1.0);
    button->imageView().setClipsToBounds(false);
    view_->addSubview(button);
    buttons_.push_back(button);

    auto badge = std::make_shared<ui::ImageView>();
    if (showsBadge(app, clicked)) badge->setImage(badgeImage(*app.badge));
    badge->sizeToFit();
    view_->addSubview(badge);
    badges_.push_back(badge);
  }
  setNeedsLayout();
}

void TXMoreAppsTableViewCell::layoutSubviews() {
  ui::TableViewCell::layoutSubviews();
  if (!view_) return;
  view_->setFrame(contentView().bounds());
  double n = static_cast<double>(labels_.size());
  double width = view_->bounds().size.width;
  double gap = std::max(std::trunc((width - kIconSize * n) / (n + 1)), kMinimumGap);
  double step = gap + kIconSize;
  view_->setContentSize({gap + step * n, contentView().bounds().size.height});
  double halfGap = std::trunc(gap / 2);
  for (size_t i = 0; i < labels_.size(); ++i) {
    double x = gap + static_cast<double>(i) * step;
    labels_[i]->setFrame({{halfGap + static_cast<double>(i) * step, 75}, {step, 21}});
    buttons_[i]->setFrame({{x, 15}, {kIconSize, kIconSize}});
    ui::Size badgeSize = badges_[i]->frame().size;
    badges_[i]->setFrame({{x + 45, 5}, badgeSize});
  }
}

void TXMoreAppsTableViewCell::buttonClicked(const ui::Button& button) {
  auto found = std::find_if(buttons_.begin(), buttons_.end(), [&](const auto& b) { return b.get() == &button; });
  size_t index = static_cast<size_t>(found - buttons_.begin());
  if (found == buttons_.end() || index >= moreApps_.size()) return;
  const TXKit::MoreApp& app = moreApps_[index];
  TXAppStore::sharedInstance().showAppId(app.appStoreID);
  badges_[index]->setImage(nullptr);
  // Once per app: the list must not grow with every tap.
  auto clicked = clickedAppIDs();
  if (std::find(clicked.begin(), clicked.end(), app.appStoreID) == clicked.end()) {
    clicked.push_back(app.appStoreID);
    ns::Array ids(clicked.begin(), clicked.end());
    auto defaults = ns::UserDefaults::standardUserDefaults();
    defaults->setObject(ns::Value(ids), kClickedAppIDsKey);
    defaults->synchronize();
  }
  ns::Dictionary parameters{{"App", ns::Value(app.name.empty() ? std::string("Unknown") : app.name)},
                            {"Context", ns::Value(context_.value_or("Unknown"))}};
  QB_EVENT("More_Apps_Click", parameters);
}
