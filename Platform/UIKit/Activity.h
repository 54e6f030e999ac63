// A service of a share sheet. The system's own (copy, print, ...) and the
// app's custom ones derive from it: which items it can act on, preparing
// with them, then either a controller to show or perform(). Items are
// whatever the app shares (text, images, its own item objects), held as
// std::any: an activity looks for the types it knows.
#pragma once

#include <any>
#include <memory>
#include <string>
#include <vector>

#include "Platform/UIKit/Image.h"

namespace ui {

class ViewController;

using ActivityItems = std::vector<std::any>;

enum class ActivityCategory { Action = 0, Share = 1 };

class Activity {
 public:
  virtual ~Activity() = default;
  virtual std::string activityType() const = 0;
  virtual std::string activityTitle() const = 0;
  virtual ImagePtr activityImage() const { return nullptr; }
  virtual ActivityCategory activityCategory() const { return ActivityCategory::Action; }
  virtual bool canPerform(const ActivityItems& items) const = 0;
  virtual void prepare(const ActivityItems& items) { (void)items; }
  // A controller to present in place of perform(); null by default.
  virtual std::shared_ptr<ViewController> activityViewController() { return nullptr; }
  virtual void perform() { activityDidFinish(true); }
  // The activity says it is done; the share sheet then reports completion.
  void activityDidFinish(bool completed);
  void setFinishHandler(std::function<void(bool)> handler) { finished_ = std::move(handler); }

 private:
  std::function<void(bool)> finished_;
};

// The system's activity types the app may exclude or meet in completions.
inline constexpr const char* kActivityTypeCopyToPasteboard = "com.apple.UIKit.activity.CopyToPasteboard";
inline constexpr const char* kActivityTypePrint = "com.apple.UIKit.activity.Print";
inline constexpr const char* kActivityTypeMail = "com.apple.UIKit.activity.Mail";
inline constexpr const char* kActivityTypeMessage = "com.apple.UIKit.activity.Message";
inline constexpr const char* kActivityTypeSaveToCameraRoll = "com.apple.UIKit.activity.SaveToCameraRoll";
inline constexpr const char* kActivityTypeAirDrop = "com.apple.UIKit.activity.AirDrop";

}  // namespace ui
