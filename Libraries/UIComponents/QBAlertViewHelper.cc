#include "Libraries/UIComponents/QBAlertViewHelper.h"

#include <cstdlib>

#include "Libraries/UIComponents/QBAlertView.h"
#include "Platform/Foundation/Device.h"
#include "Platform/Graphics/Image.h"
#include "Platform/UIKit/Screen.h"
#include "Platform/UIKit/View.h"

void QBAlertViewHelper::animateWithDuration(double duration, std::function<void()> animations,
                                            std::function<void(bool)> completion) {
  ui::View::animate(duration, 0, ui::kAnimationOptionNone, std::move(animations), std::move(completion));
}

ui::ImagePtr QBAlertViewHelper::image1x1WithColor(const ui::ColorPtr& color) {
  if (!color) return nullptr;
  cg::Rgba rgba{color->redComponent(), color->greenComponent(), color->blueComponent(),
                color->alpha()};
  return ui::Image::withBitmap(cg::Image::filled(1, 1, rgba));
}

bool QBAlertViewHelper::isNotRetina() { return ui::Screen::main().scale() == 1.0; }

bool QBAlertViewHelper::isPad() {
  return ns::Device::current().facts().idiom == ns::UserInterfaceIdiom::Pad;
}

double QBAlertViewHelper::statusBarHeight() { return ui::Screen::main().statusBarHeight(); }

bool QBAlertViewHelper::isPadAndNotForce(const QBAlertView& alert) {
  return isPad() && !alert.padShowsActionSheetFromBottom;
}

bool QBAlertViewHelper::isCancelButtonSeparate(const QBAlertView& alert) {
  return alert.style() == QBAlertViewStyle::ActionSheet && alert.cancelButtonOffsetY != QBAlertView::kUnset &&
         alert.cancelButtonOffsetY > 0 && !isPadAndNotForce(alert);
}

double QBAlertViewHelper::systemVersion() {
  return std::strtod(ns::Device::current().facts().systemVersion.c_str(), nullptr);
}
