#include "Libraries/AppSupportKit/QBPopupViewController.h"

#include <map>

#include "Platform/UIKit/Button.h"
#include "Platform/UIKit/Color.h"
#include "Platform/UIKit/ViewController.h"

namespace QBPopupViewController {

namespace {

struct AttachedProperties {
  DismissedBlock dismissedBlock;
  std::shared_ptr<ui::ViewController> popupViewController;
  std::shared_ptr<QBPopupBackgroundView> popupBackgroundView;
  std::shared_ptr<ui::ViewController> presentingViewController;
};

// Keyed weakly, so that a controller made later at a freed one's address
// never inherits its properties.
using PropertyTable = std::map<std::weak_ptr<ui::ViewController>, AttachedProperties, std::owner_less<>>;

PropertyTable& table() {
  static PropertyTable properties;
  return properties;
}

std::weak_ptr<ui::ViewController> key(const ui::ViewController& controller) {
  return const_cast<ui::ViewController&>(controller).shared();
}

const AttachedProperties* find(const ui::ViewController& controller) {
  auto it = table().find(key(controller));
  return it == table().end() ? nullptr : &it->second;
}

AttachedProperties& properties(ui::ViewController& controller) {
  std::erase_if(table(), [](const auto& entry) { return entry.first.expired(); });
  return table()[key(controller)];
}

bool slides(int32_t type) { return type >= 1 && type <= 8; }

ui::Point centred(ui::Size source, ui::Size popup) {
  return {(source.width - popup.width) / 2, (source.height - popup.height) / 2};
}

ui::Point slideStart(int32_t type, ui::Size source, ui::Size popup) {
  ui::Point centre = centred(source, popup);
  switch (type) {
    case 1:
    case 2:
      return {centre.x, source.height};
    case 3:
    case 4:
      return {centre.x, -popup.height};
    case 5:
    case 6:
      return {-source.width, centre.y};
    default:
      return {source.width, centre.y};
  }
}

ui::Point slideEnd(int32_t type, ui::Size source, ui::Size popup, double currentY) {
  ui::Point centre = centred(source, popup);
  switch (type) {
    case 1:
    case 3:
      return {centre.x, -popup.height};
    case 2:
    case 4:
      return {centre.x, source.height};
    case 5:
    case 7:
      return {-popup.width, currentY};
    default:
      return {source.width, currentY};
  }
}

// The exit's last step: the views go, then the popup hears it is gone.
std::function<void(bool)> removal(ui::View& popupView, ui::View& overlayView,
                                  std::shared_ptr<ui::ViewController> popup) {
  auto shownView = std::static_pointer_cast<ui::View>(popupView.shared_from_this());
  auto overlay = std::static_pointer_cast<ui::View>(overlayView.shared_from_this());
  return [shownView, overlay, popup](bool) {
    shownView->removeFromSuperview();
    overlay->removeFromSuperview();
    if (popup) popup->endAppearanceTransition();
  };
}

}  // namespace

void presentPopupViewController(ui::ViewController& presenter, const std::shared_ptr<ui::ViewController>& popup,
                                int32_t animationType, DismissedBlock dismissedBlock) {
  if (!popup) return;
  setQb_dismissedBlock(presenter, std::move(dismissedBlock));
  setQb_presentingViewController(*popup, presenter.shared());
  setQb_popupViewController(presenter, popup);
  presentPopupView(presenter, popup->view(), animationType);
}

void presentPopupView(ui::ViewController& presenter, const std::shared_ptr<ui::View>& popupView,
                      int32_t animationType) {
  auto source = topView(presenter);
  if (!source || !popupView) return;
  source->setTag(kSourceViewTag);
  popupView->setAutoresizingMask(ui::kAutoresizingFlexibleLeftMargin | ui::kAutoresizingFlexibleRightMargin |
                                 ui::kAutoresizingFlexibleTopMargin | ui::kAutoresizingFlexibleBottomMargin);
  popupView->setTag(kPopupViewTag);
  if (popupView->superview() == source.get()) return;

  auto overlay = std::make_shared<ui::View>(source->bounds());
  overlay->setAutoresizingMask(ui::kAutoresizingFlexibleWidth | ui::kAutoresizingFlexibleHeight);
  overlay->setTag(kOverlayViewTag);
  overlay->setBackgroundColor(ui::Color::clear());

  auto background = std::make_shared<QBPopupBackgroundView>(source->bounds());
  background->setAutoresizingMask(ui::kAutoresizingFlexibleWidth | ui::kAutoresizingFlexibleHeight);
  setQb_popupBackgroundView(presenter, background);
  background->setBackgroundColor(ui::Color::withWhite(0, kBackgroundAlpha));
  background->setAlpha(0);
  overlay->addSubview(background);

  popupView->setAlpha(0);
  overlay->addSubview(popupView);
  source->addSubview(overlay);

  if (slides(animationType))
    slideViewIn(presenter, *popupView, *source, *overlay, animationType);
  else
    fadeViewIn(presenter, *popupView, *source, *overlay);
}

void slideViewIn(ui::ViewController& presenter, ui::View& popupView, ui::View& sourceView, ui::View&,
                 int32_t animationType) {
  ui::Size source = sourceView.bounds().size, size = popupView.bounds().size;
  ui::Point start = slideStart(animationType, source, size), centre = centred(source, size);
  popupView.setFrame(ui::Rect(start.x, start.y, size.width, size.height));
  popupView.setAlpha(1);
  auto popup = qb_popupViewController(presenter);
  auto background = qb_popupBackgroundView(presenter);
  ui::View::animate(
      kAnimationDuration, 0, ui::kAnimationOptionCurveEaseOut,
      [&popupView, popup, background, centre, size] {
        if (popup) popup->beginAppearanceTransition(true, false);
        if (background) background->setAlpha(1);
        popupView.setFrame(ui::Rect(centre.x, centre.y, size.width, size.height));
      },
      [popup](bool) {
        if (popup) popup->endAppearanceTransition();
      });
}

void fadeViewIn(ui::ViewController& presenter, ui::View& popupView, ui::View& sourceView, ui::View&) {
  ui::Size size = popupView.bounds().size;
  ui::Point centre = centred(sourceView.bounds().size, size);
  popupView.setFrame(ui::Rect(centre.x, centre.y, size.width, size.height));
  popupView.setAlpha(0);
  auto popup = qb_popupViewController(presenter);
  auto background = qb_popupBackgroundView(presenter);
  ui::View::animate(
      kAnimationDuration,
      [&popupView, popup, background] {
        if (popup) popup->beginAppearanceTransition(true, false);
        // Over the background's own 0.75 black: 0.375 in all.
        if (background) background->setAlpha(0.5);
        popupView.setAlpha(1);
      },
      [popup](bool) {
        if (popup) popup->endAppearanceTransition();
      });
}

void dismissPopupViewControllerWithAnimationType(ui::ViewController& presenter, int32_t animationType) {
  auto source = topView(presenter);
  ui::View* popupView = source ? source->viewWithTag(kPopupViewTag) : nullptr;
  ui::View* overlay = source ? source->viewWithTag(kOverlayViewTag) : nullptr;
  if (popupView && overlay) {
    if (slides(animationType))
      slideViewOut(presenter, *popupView, *source, *overlay, animationType);
    else
      fadeViewOut(presenter, *popupView, *source, *overlay);
  }
  setQb_popupViewController(presenter, nullptr);
  // The block runs as the exit starts, not when it ends. It is cleared
  // before it runs, so that a block presenting again keeps its own.
  if (auto block = qb_dismissedBlock(presenter)) {
    setQb_dismissedBlock(presenter, nullptr);
    block();
  }
}

void dismissPopupViewControllerWithAnimation(ui::ViewController& presenter, const ui::View* sender) {
  int32_t type = 0;
  if (auto* button = dynamic_cast<const ui::Button*>(sender); button && slides(static_cast<int32_t>(button->tag())))
    type = static_cast<int32_t>(button->tag());
  dismissPopupViewControllerWithAnimationType(presenter, type);
}

void slideViewOut(ui::ViewController& presenter, ui::View& popupView, ui::View& sourceView, ui::View& overlayView,
                  int32_t animationType) {
  ui::Size source = sourceView.bounds().size, size = popupView.bounds().size;
  ui::Point end = slideEnd(animationType, source, size, popupView.frame().origin.y);
  auto popup = qb_popupViewController(presenter);
  auto background = qb_popupBackgroundView(presenter);
  ui::View::animate(
      kAnimationDuration, 0, ui::kAnimationOptionCurveEaseIn,
      [&popupView, popup, background, end, size] {
        if (popup) popup->beginAppearanceTransition(false, false);
        popupView.setFrame(ui::Rect(end.x, end.y, size.width, size.height));
        if (background) background->setAlpha(0);
      },
      removal(popupView, overlayView, popup));
}

void fadeViewOut(ui::ViewController& presenter, ui::View& popupView, ui::View&, ui::View& overlayView) {
  auto popup = qb_popupViewController(presenter);
  auto background = qb_popupBackgroundView(presenter);
  ui::View::animate(
      kAnimationDuration,
      [&popupView, popup, background] {
        if (popup) popup->beginAppearanceTransition(false, false);
        if (background) background->setAlpha(0);
        popupView.setAlpha(0);
      },
      removal(popupView, overlayView, popup));
}

std::shared_ptr<ui::View> topView(ui::ViewController& controller) {
  ui::ViewController* outermost = &controller;
  while (outermost->parentViewController()) outermost = outermost->parentViewController();
  return outermost->view();
}

DismissedBlock qb_dismissedBlock(const ui::ViewController& presenter) {
  const auto* p = find(presenter);
  return p ? p->dismissedBlock : nullptr;
}
void setQb_dismissedBlock(ui::ViewController& presenter, DismissedBlock block) {
  properties(presenter).dismissedBlock = std::move(block);
}
std::shared_ptr<ui::ViewController> qb_popupViewController(const ui::ViewController& presenter) {
  const auto* p = find(presenter);
  return p ? p->popupViewController : nullptr;
}
void setQb_popupViewController(ui::ViewController& presenter, std::shared_ptr<ui::ViewController> popup) {
  properties(presenter).popupViewController = std::move(popup);
}
std::shared_ptr<QBPopupBackgroundView> qb_popupBackgroundView(const ui::ViewController& presenter) {
  const auto* p = find(presenter);
  return p ? p->popupBackgroundView : nullptr;
}
void setQb_popupBackgroundView(ui::ViewController& presenter, std::shared_ptr<QBPopupBackgroundView> view) {
  properties(presenter).popupBackgroundView = std::move(view);
}
std::shared_ptr<ui::ViewController> qb_presentingViewController(const ui::ViewController& popup) {
  const auto* p = find(popup);
  return p ? p->presentingViewController : nullptr;
}
void setQb_presentingViewController(ui::ViewController& popup, std::shared_ptr<ui::ViewController> presenter) {
  properties(popup).presentingViewController = std::move(presenter);
}

}  // namespace QBPopupViewController
