// The kit's strip of the maker's other apps, as a table cell: a row of
// icons (60 points, the gaps shared out across the width, at least 14),
// each named below and badged while the user has not opened it, scrolling
// sideways when they do not fit. A tap opens the app's store page inside
// the app, takes its badge away for good (remembered in the standard
// defaults under "MoreAppsClickedAppIDs", until the configuration's
// "app"/"moreAppsBadgeReset" fires) and logs "More_Apps_Click" with the
// app's name and the cell's context ("Unknown" for either when missing).
// Main thread only.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Libraries/AppSupportKit/TXKit.h"
#include "Platform/UIKit/Button.h"
#include "Platform/UIKit/ImageView.h"
#include "Platform/UIKit/Label.h"
#include "Platform/UIKit/ScrollView.h"
#include "Platform/UIKit/TableViewCell.h"

class TXMoreAppsTableViewCell : public ui::TableViewCell {
 public:
  static constexpr const char* kClickedAppIDsKey = "MoreAppsClickedAppIDs";
  static constexpr double kIconSize = 60;
  static constexpr double kMinimumGap = 14;
  // The height the strip needs: a badge above each icon, its name below.
  static constexpr double kRowHeight = 100;

  // Shows the kit's list (TXKit::moreApps).
  explicit TXMoreAppsTableViewCell(ui::TableViewCellStyle style = ui::TableViewCellStyle::Default,
                                   std::string reuseIdentifier = {});
  std::string typeName() const override { return "TXMoreAppsTableViewCell"; }

  // Whether an app of the kit's list carries a badge the user has not
  // opened yet.
  static bool hasBadge();
  // Whether the kit's list is empty.
  static bool isEmpty();

  // Where the strip is shown ("Settings", "Popup"), sent with each tap.
  const std::optional<std::string>& context() const { return context_; }
  void setContext(std::string context) { context_ = std::move(context); }

  // Rebuilds the strip for `apps`, first clearing the taps when the
  // badge-reset trigger fires.
  void setMoreApps(std::vector<TXKit::MoreApp> apps);
  const std::vector<TXKit::MoreApp>& moreApps() const { return moreApps_; }
  // The tap on an icon of the strip.
  void buttonClicked(const ui::Button& button);

  void layoutSubviews() override;

  // The strip and its views, one of each per entry in the list's order.
  const std::shared_ptr<ui::ScrollView>& view() const { return view_; }
  const std::vector<std::shared_ptr<ui::Button>>& buttons() const { return buttons_; }
  const std::vector<std::shared_ptr<ui::ImageView>>& badges() const { return badges_; }
  const std::vector<std::shared_ptr<ui::Label>>& labels() const { return labels_; }

 private:
  std::optional<std::string> context_;
  std::vector<TXKit::MoreApp> moreApps_;
  std::shared_ptr<ui::ScrollView> view_;
  std::vector<std::shared_ptr<ui::Button>> buttons_;
  std::vector<std::shared_ptr<ui::ImageView>> badges_;
  std::vector<std::shared_ptr<ui::Label>> labels_;
};
