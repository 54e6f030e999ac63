#include "Libraries/UIComponents/QBAlertViewButton.h"

#include "Libraries/UIComponents/QBAlertViewHelper.h"
#include "Platform/UIKit/ImageView.h"
#include "Platform/UIKit/Label.h"

QBAlertViewButton::QBAlertViewButton() : ui::Button(ui::ButtonType::Custom) {
  ui::View::setBackgroundColor(ui::Color::clear());
  titleLabel().setBackgroundColor(ui::Color::clear());
  imageView().setBackgroundColor(ui::Color::clear());
  setContentEdgeInsets({8, 10, 8, 10});
  setContentHorizontalAlignment(ui::ControlContentHorizontalAlignment::Center);
  setContentVerticalAlignment(ui::ControlContentVerticalAlignment::Center);
  setAdjustsImageWhenHighlighted(false);
}

void QBAlertViewButton::setBackgroundColor(ui::ColorPtr color, uint32_t state) {
  setBackgroundImage(QBAlertViewHelper::image1x1WithColor(color), state);
}
