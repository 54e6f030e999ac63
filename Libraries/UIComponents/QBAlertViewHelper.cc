#include "Libraries/UIComponents/QBAlertViewHelper.h"

#include <cstdlib>

#include "Libraries/UIComponents/QBAlertView.h"
#include "Platform/Foundation/Bundle.h"
#include "Platform/Foundation/Device.h"
#include "Platform/Graphics/Image.h"
#include "Platform/UIKit/Application.h"
#include "Platform/UIKit/GeometryValue.h"
#include "Platform/UIKit/Keyboard.h"
#include "Platform/UIKit/Screen.h"
#include "Platform/UIKit/Window.h"
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

void QBAlertViewHelper::keyboardAnimateWithNotificationUserInfo(const ns::Dictionary& userInfo,
                                                                const std::function<void(double)>& animations) {
  const ns::Value* end = userInfo.find(ui::kKeyboardFrameEndUserInfoKey);
  if (!end) return;
  const double height = ui::rectValue(end).height();
  if (height == 0) return;
  const ns::Value* duration = userInfo.find(ui::kKeyboardAnimationDurationUserInfoKey);
  ui::View::animate(duration ? duration->doubleValue() : 0, [&] { animations(height); });
}

ui::Window* QBAlertViewHelper::appWindow() {
  auto windows = ui::Application::shared().windows();
  return windows.empty() ? nullptr : windows.front().get();
}

ui::Window* QBAlertViewHelper::keyWindow() { return ui::Application::shared().keyWindow().get(); }

bool QBAlertViewHelper::isViewControllerBasedStatusBarAppearance() {
  if (systemVersion() >= 9.0) return true;
  const ns::Value* v = ns::Bundle::mainBundle()->objectForInfoDictionaryKey("UIViewControllerBasedStatusBarAppearance");
  return !v || v->boolValue();
}
