#include "Libraries/UIComponents/QBAlertViewButton.h"

#include <cmath>

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

void QBAlertViewButton::layoutSubviews() {
  ui::Button::layoutSubviews();
  if (!imageView().image() || currentTitle().empty()) return;
  ui::Rect image = imageView().frame(), title = titleLabel().frame();
  const double left = contentEdgeInsets().left, right = contentEdgeInsets().right, width = bounds().width();
  double imageX, titleX;
  const ui::TextAlignment alignment = titleLabel().textAlignment();
  if (iconPosition_ == 0) {
    if (alignment == ui::TextAlignment::Left) {
      imageX = left;
      titleX = imageX + image.width() + 8;
    } else if (alignment == ui::TextAlignment::Right) {
      imageX = left;
      titleX = width - right - title.width();
    } else {
      imageX = image.minX() - 4;
      titleX = title.minX() + 4;
    }
  } else {
    if (alignment == ui::TextAlignment::Left) {
      imageX = width - right - image.width();
      titleX = left;
    } else if (alignment == ui::TextAlignment::Right) {
      imageX = width - right - image.width();
      titleX = imageX - 8 - title.width();
    } else {
      imageX = image.minX() + title.width() + 4;
      titleX = title.minX() - (image.width() + 4);
    }
  }
  if (QBAlertViewHelper::isNotRetina()) {
    imageX = std::round(imageX);
    titleX = std::round(titleX);
  }
  image.origin.x = imageX;
  title.origin.x = titleX;
  imageView().setFrame(image);
  titleLabel().setFrame(title);
}
