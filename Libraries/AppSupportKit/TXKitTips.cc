// The kit's one-time tips: views counted in the standard defaults, a
// bubble shown once a tip is due.
#include <memory>

#include "Libraries/AppSupportKit/QBPopTipView.h"
#include "Libraries/AppSupportKit/TXConfig.h"
#include "Libraries/AppSupportKit/TXKit.h"
#include "Libraries/AppSupportKit/TXUIManager.h"
#include "Platform/Dispatch/Queue.h"
#include "Platform/Foundation/UserDefaults.h"
#include "Platform/UIKit/BarButtonItem.h"
#include "Platform/UIKit/DeviceInfo.h"
#include "Platform/UIKit/SplitViewController.h"
#include "Platform/UIKit/SystemColors.h"
#include "Platform/UIKit/ViewController.h"

namespace {

// How long after being due a tip appears: the screen that asked has
// settled by then.
constexpr double kTipDelay = 0.1;

std::string viewsCountKey(const std::string& tipID) { return "com.tavrix.viewsCount." + tipID; }

// The kit is the tips' delegate; it lives as long as the process.
class TipsDelegate : public QBPopTipViewDelegate {
 public:
  void popTipViewWasDismissedByUser(QBPopTipView& tip) override {
    TXKit::sharedInstance().popTipViewWasDismissedByUser(tip);
  }
};

std::shared_ptr<QBPopTipViewDelegate> tipsDelegate() {
  static const auto delegate = std::make_shared<TipsDelegate>();
  return delegate;
}

// The kit's tip look: flat yellow, dark text, gone at any touch.
std::shared_ptr<QBPopTipView> makeTip(const std::string& text) {
  auto tip = QBPopTipView::withTitle(text, std::nullopt);
  tip->setDelegate(tipsDelegate());
  tip->setHas3DStyle(false);
  tip->setHasGradientBackground(false);
  auto yellow = ui::Color::withRGBA(245 / 255.0, 234 / 255.0, 146 / 255.0, 1);
  tip->setBackgroundColor(yellow);
  tip->setBorderColor(yellow);
  tip->setTitleColor(ui::darkTextColor());
  tip->setTextColor(ui::darkTextColor());
  tip->setDismissTapAnywhere(true);
  return tip;
}

bool portrait() {
  auto o = ui::DeviceInfo::current().orientation();
  return o == ns::DeviceOrientation::Portrait || o == ns::DeviceOrientation::PortraitUpsideDown;
}

std::shared_ptr<ui::View> shared(const ui::View* view) {
  if (!view) return nullptr;
  return std::static_pointer_cast<ui::View>(const_cast<ui::View*>(view)->shared_from_this());
}

}  // namespace

bool TXKit::shouldShowTipID(const std::string& tipID, int64_t viewsCount) {
  if (showedMessageID(tipID)) return false;
  auto defaults = ns::UserDefaults::standardUserDefaults();
  int64_t views = defaults->integerForKey(viewsCountKey(tipID)) + 1;
  defaults->setInteger(views, viewsCountKey(tipID));
  defaults->synchronize();
  int32_t afterUses = TXConfig::sharedInstance().appShowTipsAfterUsesCount();
  return views >= viewsCount && afterUses >= 0 && usesCount() >= static_cast<uint64_t>(afterUses) &&
         !isShowingMessage();
}

void TXKit::showTipIfNeededWithID(const std::string& tipID, const std::string& text, const ui::View* pointingAtView,
                                  const ui::View* inView, int64_t afterViewsCount, bool animated) {
  if (!shouldShowTipID(tipID, afterViewsCount)) return;
  setShowedMessageID(tipID, true);
  setShowingMessage(true);
  auto tip = makeTip(text);

  auto top = TXUIManager::topmostViewController();
  std::shared_ptr<ui::View> container;
  if (iPad() && portrait() && std::dynamic_pointer_cast<ui::SplitViewController>(top)) container = shared(inView);
  else if (top) container = top->view();
  std::weak_ptr<ui::View> weakTarget = shared(pointingAtView), weakContainer = container;

  dispatch::Queue::main()->afterSeconds(kTipDelay, [tip, weakTarget, weakContainer, animated] {
    auto target = weakTarget.lock();
    auto container = weakContainer.lock();
    // A tip where nobody can see or touch it would keep every other kit
    // popup away for the rest of the run.
    if (!target || !container || !target->window() || !container->window()) {
      TXKit::sharedInstance().setShowingMessage(false);
      return;
    }
    tip->presentPointingAtView(target, container, animated);
  });
}

void TXKit::showTipIfNeededWithID(const std::string& tipID, const std::string& text,
                                  const ui::BarButtonItem* pointingAtBarButtonItem, int64_t afterViewsCount,
                                  bool animated) {
  ui::View* itemView = pointingAtBarButtonItem ? pointingAtBarButtonItem->customView().get() : nullptr;
  ui::View* superview = itemView ? itemView->superview() : nullptr;
  showTipIfNeededWithID(tipID, text, itemView, superview ? superview->superview() : nullptr, afterViewsCount,
                        animated);
}

void TXKit::popTipViewWasDismissedByUser(QBPopTipView&) { setShowingMessage(false); }
