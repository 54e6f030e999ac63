// The share sheet: the app's items, the system activities that apply to
// them (copy for text and images, print for text and print formatters,
// save image for images), the app's own activities that can perform, less
// the excluded types. Choosing one (the input layer taps its title) runs
// it: its controller is presented after the sheet goes, else perform();
// the completion handler hears the type and whether it completed.
// Choosing nothing ("Cancel") reports no type and not completed.
//
// What the system activities do is recorded for tests: the copied text
// lands in pasteboardText(); print is only counted. Saving an image writes
// it as a numbered PNG into the device's photo library (<device>/Photos),
// and the paths written are kept until taken.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Platform/Foundation/AttributedString.h"
#include "Platform/UIKit/Activity.h"
#include "Platform/UIKit/ViewController.h"

namespace ui {

// A print formatter of rich text, shared as an item.
struct SimpleTextPrintFormatter {
  ns::AttributedString text;
};

class ActivityViewController : public ViewController {
 public:
  using Completion = std::function<void(const std::string& activityType, bool completed)>;

  ActivityViewController(ActivityItems items, std::vector<std::shared_ptr<Activity>> applicationActivities);
  static std::shared_ptr<ActivityViewController> make(ActivityItems items,
                                                      std::vector<std::shared_ptr<Activity>> applicationActivities = {});
  std::string typeName() const override { return "ActivityViewController"; }

  const ActivityItems& activityItems() const { return items_; }
  void setExcludedActivityTypes(std::vector<std::string> types) { excluded_ = std::move(types); }
  void setCompletionHandler(Completion c) { completion_ = std::move(c); }

  // The titles offered, system ones first.
  std::vector<std::string> activityTitles() const;
  // Runs the activity with this title (false when none is offered).
  bool chooseActivity(const std::string& title);
  void cancel();

  void loadView() override;

  // What the system's copy activity put on the pasteboard.
  static std::string pasteboardText();
  static int printJobs();
  // The images saved to the photo library since the last call.
  static std::vector<std::string> takeSavedImagePaths();

 private:
  struct Offered {
    std::string type;
    std::string title;
    std::shared_ptr<Activity> custom;  // null for a system activity
  };
  std::vector<Offered> offered() const;
  void finish(const std::string& type, bool completed);

  ActivityItems items_;
  std::vector<std::shared_ptr<Activity>> custom_;
  std::vector<std::string> excluded_;
  Completion completion_;
};

}  // namespace ui
