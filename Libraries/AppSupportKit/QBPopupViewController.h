// Popups: another controller's view shown centred over a dimmed background
// inside the view of the presenting controller's outermost parent. The
// popup slides in from a side (animation types 1 to 8) or fades in (any
// other type), and later slides or fades out. The kit's presentation queue
// (TXUIManager.h) is the one caller. Main thread only.
//
// The platform's controllers have no room for these, so the four attached
// properties live in a side table keyed weakly by controller: the
// presenting controller holds the dismissed block, the popup controller and
// the dimming view; the popup controller holds its presenting controller.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "Platform/UIKit/View.h"

namespace ui {
class ViewController;
}

// The dimming layer: black at alpha 0.75, its own alpha animated.
class QBPopupBackgroundView : public ui::View {
 public:
  using ui::View::View;
  std::string typeName() const override { return "QBPopupBackgroundView"; }
};

namespace QBPopupViewController {

using DismissedBlock = std::function<void()>;

inline constexpr int64_t kSourceViewTag = 23941;
inline constexpr int64_t kPopupViewTag = 23942;
inline constexpr int64_t kOverlayViewTag = 23945;
inline constexpr double kAnimationDuration = 0.35;
inline constexpr double kBackgroundAlpha = 0.75;

// Stores the block and both controller links, then shows the popup's view.
void presentPopupViewController(ui::ViewController& presenter, const std::shared_ptr<ui::ViewController>& popup,
                                int32_t animationType, DismissedBlock dismissedBlock = nullptr);
// Starts the exit animation, then (without waiting for it) forgets the
// popup controller and runs and clears the dismissed block.
void dismissPopupViewControllerWithAnimationType(ui::ViewController& presenter, int32_t animationType);
// The action form: a button tagged 1 to 8 picks that slide; anything else
// fades.
void dismissPopupViewControllerWithAnimation(ui::ViewController& presenter, const ui::View* sender);

// The steps, for callers that show a bare view.
void presentPopupView(ui::ViewController& presenter, const std::shared_ptr<ui::View>& popupView,
                      int32_t animationType);
void slideViewIn(ui::ViewController& presenter, ui::View& popupView, ui::View& sourceView, ui::View& overlayView,
                 int32_t animationType);
void slideViewOut(ui::ViewController& presenter, ui::View& popupView, ui::View& sourceView, ui::View& overlayView,
                  int32_t animationType);
void fadeViewIn(ui::ViewController& presenter, ui::View& popupView, ui::View& sourceView, ui::View& overlayView);
void fadeViewOut(ui::ViewController& presenter, ui::View& popupView, ui::View& sourceView, ui::View& overlayView);

// The view of the outermost parent of `controller`.
std::shared_ptr<ui::View> topView(ui::ViewController& controller);

// The attached properties.
DismissedBlock qb_dismissedBlock(const ui::ViewController& presenter);
void setQb_dismissedBlock(ui::ViewController& presenter, DismissedBlock block);
std::shared_ptr<ui::ViewController> qb_popupViewController(const ui::ViewController& presenter);
void setQb_popupViewController(ui::ViewController& presenter, std::shared_ptr<ui::ViewController> popup);
std::shared_ptr<QBPopupBackgroundView> qb_popupBackgroundView(const ui::ViewController& presenter);
void setQb_popupBackgroundView(ui::ViewController& presenter, std::shared_ptr<QBPopupBackgroundView> view);
std::shared_ptr<ui::ViewController> qb_presentingViewController(const ui::ViewController& popup);
void setQb_presentingViewController(ui::ViewController& popup, std::shared_ptr<ui::ViewController> presenter);

}  // namespace QBPopupViewController
