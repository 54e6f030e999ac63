// Morphing a shown alert into another (part of QBAlertView): the new alert
// is shown hidden over the old one, the old panel fades, the cover
// cross-fades, the shadow moves from the old frame to the new one, the
// new panel fades in, and the old alert is dismissed at once.
#include "Libraries/UIComponents/QBAlertView.h"
#include "Libraries/UIComponents/QBAlertViewButton.h"
#include "Libraries/UIComponents/QBAlertViewHelper.h"
#include "Libraries/UIComponents/QBAlertViewShadowView.h"
#include "Platform/UIKit/ScrollView.h"
#include "Platform/UIKit/VisualEffectView.h"

namespace {
constexpr double kStep = 0.3;
}  // namespace

void QBAlertView::transitionToAlertView(const Ptr& next, Completion completion) {
  if (!showing_ || !view_ || !next || next.get() == this) return;
  // The new alert must be fresh: one already shown, or dismissed and so
  // without a window, cannot take this one's place.
  if (next->showing_ || !next->window_) return;
  auto self = shared_from_this();
  view_->setUserInteractionEnabled(false);
  next->showAnimated(false, true, nullptr);
  const bool nextCancel = !next->cancelViews().empty();
  QBAlertViewHelper::animateWithDuration(kStep, [self, nextCancel] {
    self->scrollView_->setAlpha(0);
    auto own = self->cancelViews();
    if (own.empty()) return;
    own[0]->setAlpha(0);
    if (!nextCancel) {
      own[1]->setAlpha(0);
      own[2]->setAlpha(0);
    }
  }, [self, next, completion](bool) { self->transitionMoveShadow(next, completion); });
}

void QBAlertView::transitionMoveShadow(const Ptr& next, Completion completion) {
  auto self = shared_from_this();
  next->backgroundView_->setAlpha(0);
  next->backgroundView_->setHidden(false);
  QBAlertViewHelper::animateWithDuration(2 * kStep, [self, next] {
    self->backgroundView_->setAlpha(0);
    next->backgroundView_->setAlpha(next->coverAlpha);
  });

  // The new shadow and blur start where the old ones are.
  const ui::Rect shadowFrame = next->shadowView_->frame(), blurFrame = next->blurView_->frame();
  next->shadowView_->setFrame(shadowView_->frame());
  next->blurView_->setFrame(blurView_->frame());
  next->shadowView_->setHidden(false);
  next->blurView_->setHidden(false);
  shadowView_->setHidden(true);
  blurView_->setHidden(true);
  auto own = cancelViews(), theirs = next->cancelViews();
  if (!own.empty() && !theirs.empty()) {
    theirs[1]->setHidden(false);
    theirs[2]->setHidden(false);
    own[1]->setHidden(true);
    own[2]->setHidden(true);
  } else if (!theirs.empty()) {
    for (ui::View* v : {theirs[1], theirs[2]}) {
      v->setAlpha(0);
      v->setHidden(false);
    }
  }
  QBAlertViewHelper::animateWithDuration(kStep, [next, shadowFrame, blurFrame] {
    next->shadowView_->setFrame(shadowFrame);
    next->shadowView_->setNeedsDisplay();
    next->blurView_->setFrame(blurFrame);
  }, [self, next, completion](bool) { self->transitionCrossFade(next, completion); });
}

void QBAlertView::transitionCrossFade(const Ptr& next, Completion completion) {
  auto self = shared_from_this();
  next->scrollView_->setAlpha(0);
  next->scrollView_->setHidden(false);
  auto theirs = next->cancelViews();
  if (!theirs.empty()) {
    theirs[0]->setAlpha(0);
    theirs[0]->setHidden(false);
  }
  QBAlertViewHelper::animateWithDuration(kStep, [self, next] {
    self->scrollView_->setAlpha(0);
    next->scrollView_->setAlpha(1);
    for (ui::View* v : next->cancelViews()) v->setAlpha(1);
  }, [self, next, completion](bool) {
    self->dismissAnimated(false, [next, completion] {
      next->showComplete();
      if (completion) completion();
    });
  });
}
