#include "Libraries/UIComponents/QBAlertViewCell.h"

#include <algorithm>
#include <limits>

#include "Libraries/UIComponents/QBAlertViewHelper.h"
#include "Platform/UIKit/ImageView.h"
#include "Platform/UIKit/Label.h"

QBAlertViewCell::QBAlertViewCell(std::string reuseIdentifier)
    : ui::TableViewCell(ui::TableViewCellStyle::Default, std::move(reuseIdentifier)) {
  setSelectionStyle(ui::TableViewCellSelectionStyle::None);
  textLabel().setBackgroundColor(ui::Color::clear());
  imageView().setBackgroundColor(ui::Color::clear());
  separator_ = std::make_shared<ui::View>();
  addSubview(separator_);
}

void QBAlertViewCell::applyState(bool highlighted) {
  if (highlighted) {
    textLabel().setTextColor(titleColorHighlighted);
    imageView().setImage(imageHighlighted);
    setBackgroundColor(backgroundColorHighlighted);
  } else {
    textLabel().setTextColor(enabled_ ? titleColor : titleColorDisabled);
    imageView().setImage(enabled_ ? image : imageDisabled);
    setBackgroundColor(enabled_ ? backgroundColorNormal : backgroundColorDisabled);
  }
  textLabel().setBackgroundColor(ui::Color::clear());
  imageView().setBackgroundColor(ui::Color::clear());
}

void QBAlertViewCell::setEnabled(bool enabled) {
  enabled_ = enabled;
  setUserInteractionEnabled(enabled);
  applyState(false);
}

void QBAlertViewCell::setSelected(bool selected, bool animated) {
  ui::TableViewCell::setSelected(selected, animated);
  applyState(selected);
}

void QBAlertViewCell::setHighlighted(bool highlighted, bool animated) {
  ui::TableViewCell::setHighlighted(highlighted, animated);
  applyState(highlighted);
}

void QBAlertViewCell::layoutSubviews() {
  ui::TableViewCell::layoutSubviews();
  const double c = bounds().width(), k = bounds().height();
  auto img = imageView().image();
  const double iw = img ? img->size().width : 0;
  const double tw = c - 20 - (img ? iw + 8 : 0);
  double x = 0;
  switch (textLabel().textAlignment()) {
    case ui::TextAlignment::Left:
      x = 10 + (img && iconPosition == 0 ? iw + 8 : 0);
      break;
    case ui::TextAlignment::Right:
      x = c - tw - 10 - (img && iconPosition == 1 ? iw + 8 : 0);
      break;
    default:
      x = c / 2 - tw / 2;
      if (img) x += iconPosition == 0 ? iw / 2 + 4 : -(iw / 2 + 4);
      break;
  }
  textLabel().setFrame(ui::Rect(x, 8, tw, k - 16));
  if (img) {
    const double ih = img->size().height;
    double ix;
    if (textLabel().textAlignment() == ui::TextAlignment::Center) {
      double fit = textLabel().sizeThatFits(ui::Size(tw, k)).width;
      double pair = iw + 8 + fit;
      double left = c / 2 - pair / 2;
      ix = iconPosition == 0 ? left : left + fit + 8;
    } else {
      ix = iconPosition == 0 ? 10 : c - iw - 10;
    }
    imageView().setFrame(ui::Rect(ix, (k - ih) / 2, iw, ih));
  }
  const double t = QBAlertViewHelper::separatorHeight();
  separator_->setFrame(ui::Rect(0, k - t, c, t));
}

ui::Size QBAlertViewCell::sizeThatFits(ui::Size size) const {
  auto* self = const_cast<QBAlertViewCell*>(this);
  ui::Size label = self->textLabel().sizeThatFits(size);
  auto img = self->imageView().image();
  ui::Size is = img ? img->size() : ui::Size();
  return ui::Size(std::min(std::max(label.width, is.width), size.width),
                  std::max(label.height, is.height) + 16);
}
