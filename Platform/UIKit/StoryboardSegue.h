// One run of a segue: its identifier, kind and the two controllers.
#pragma once

#include <memory>
#include <string>

namespace ui {

class ViewController;

enum class SegueKind {
  Show,            // pushed by the source's navigation controller, else presented
  ShowDetail,      // the split view's detail side (pushed when collapsed)
  PresentModally,
  PresentAsPopover,
  Unwind,          // back to a controller offering the unwind action
};

class StoryboardSegue {
 public:
  StoryboardSegue(std::string identifier, SegueKind kind, std::shared_ptr<ViewController> source,
                  std::shared_ptr<ViewController> destination)
      : identifier_(std::move(identifier)),
        kind_(kind),
        source_(std::move(source)),
        destination_(std::move(destination)) {}

  const std::string& identifier() const { return identifier_; }
  SegueKind kind() const { return kind_; }
  const std::shared_ptr<ViewController>& sourceViewController() const { return source_; }
  const std::shared_ptr<ViewController>& destinationViewController() const { return destination_; }

 private:
  std::string identifier_;
  SegueKind kind_;
  std::shared_ptr<ViewController> source_;
  std::shared_ptr<ViewController> destination_;
};

}  // namespace ui
