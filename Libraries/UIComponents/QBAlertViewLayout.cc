// Building and placing the alert's views (part of QBAlertView).
#include <algorithm>
#include <cmath>
#include <limits>

#include "Libraries/UIComponents/QBAlertView.h"
#include "Libraries/UIComponents/QBAlertViewAdapter.h"
#include "Libraries/UIComponents/QBAlertViewButton.h"
#include "Libraries/UIComponents/QBAlertViewCell.h"
#include "Libraries/UIComponents/QBAlertViewHelper.h"
#include "Libraries/UIComponents/QBAlertViewShadowView.h"
#include "Libraries/UIComponents/QBAlertViewTextField.h"
#include "Platform/UIKit/Label.h"
#include "Platform/UIKit/ProgressViews.h"
#include "Platform/UIKit/Screen.h"
#include "Platform/UIKit/ScrollView.h"
#include "Platform/UIKit/TableView.h"
#include "Platform/UIKit/TextField.h"
#include "Platform/UIKit/ViewController.h"
#include "Platform/UIKit/VisualEffectView.h"
#include "Platform/UIKit/Window.h"

using ui::Point;
using ui::Rect;
using ui::Size;

namespace {

constexpr double kUnlimited = std::numeric_limits<double>::max();
constexpr double kMinimumButtonWidth = 64;

std::shared_ptr<ui::View> separator(const QBAlertView::ColorPtr& color, const Rect& frame) {
  auto v = std::make_shared<ui::View>(frame);
  v->setBackgroundColor(color);
  return v;
}

std::shared_ptr<ui::Label> textLabel(const std::string& text, const QBAlertView::ColorPtr& color,
                                     ui::TextAlignment alignment, const QBAlertView::FontPtr& font, double x,
                                     double y, double width) {
  auto label = std::make_shared<ui::Label>();
  label->setNumberOfLines(0);
  label->setLineBreakMode(ui::LineBreakMode::WordWrap);
  label->setTextColor(color);
  label->setTextAlignment(alignment);
  label->setFont(font);
  label->setBackgroundColor(ui::Color::clear());
  label->setText(text);
  label->setFrame(Rect(x, y, width, label->sizeThatFits(Size(width, kUnlimited)).height));
  return label;
}

void placeWithTransform(ui::View& v, const Rect& frame, const ui::AffineTransform& t, double alpha) {
  v.setTransform(ui::AffineTransform());
  v.setFrame(frame);
  v.setTransform(t);
  v.setAlpha(alpha);
}

Rect grown(const Rect& r, double by) {
  return Rect(r.minX() - by, r.minY() - by, r.width() + 2 * by, r.height() + 2 * by);
}

Point centerOf(const Rect& r) { return Point(r.midX(), r.midY()); }

}  // namespace

std::shared_ptr<QBAlertViewShadowView> QBAlertView::makeShadowView() const {
  auto v = std::make_shared<QBAlertViewShadowView>();
  v->cornerRadius = layerCornerRadius;
  v->strokeColor = layerBorderColor;
  v->strokeWidth = layerBorderWidth;
  v->shadowColor = layerShadowColor;
  v->shadowBlur = layerShadowRadius;
  v->shadowOffset = layerShadowOffset;
  return v;
}

void QBAlertView::subviewsValidate() {
  if (exists_) return;
  exists_ = true;
  const bool sheet = style_ == QBAlertViewStyle::ActionSheet;
  const double W = width();
  const double m = sheet ? 12 : 16;
  const double t = QBAlertViewHelper::separatorHeight();
  const double innerRadius = layerCornerRadius - layerBorderWidth - (layerBorderColor ? 1 : 0);

  backgroundView_->setBackgroundColor(coverColor);
  backgroundView_->setFrame(view_->bounds());

  shadowView_ = makeShadowView();
  shadowView_->setClipsToBounds(true);
  view_->addSubview(shadowView_);
  blurView_ = std::make_shared<ui::VisualEffectView>();
  blurView_->contentView().setBackgroundColor(backgroundColor);
  blurView_->setClipsToBounds(true);
  blurView_->layer().setCornerRadius(layerCornerRadius);
  blurView_->layer().setBorderWidth(layerBorderWidth);
  blurView_->layer().setBorderColor(layerBorderColor);
  blurView_->setUserInteractionEnabled(false);
  view_->addSubview(blurView_);
  scrollView_ = std::make_shared<ui::ScrollView>();
  scrollView_->setBackgroundColor(ui::Color::clear());
  scrollView_->setClipsToBounds(true);
  scrollView_->layer().setCornerRadius(innerRadius);
  view_->addSubview(scrollView_);

  double y = 0;
  if (!title_.empty()) {
    titleLabel_ = textLabel(title_, titleTextColor_, titleTextAlignment, titleFont_, 10, m, W - 20);
    scrollView_->addSubview(titleLabel_);
    y = titleLabel_->frame().maxY();
  }
  if (!message_.empty()) {
    if (y == 0)
      y = m / 2;
    else if (sheet)
      y -= m / 3;
    y += m / 2;
    messageLabel_ = textLabel(message_, messageTextColor_, messageTextAlignment, messageFont, 10, y, W - 20);
    scrollView_->addSubview(messageLabel_);
    y = messageLabel_->frame().maxY();
  }

  if (innerView_) {
    innerContainerView_ = std::make_shared<ui::View>(Rect(0, y + m, W, innerView_->bounds().height()));
    innerContainerView_->setBackgroundColor(ui::Color::clear());
    Size s = innerView_->bounds().size;
    innerView_->setFrame(Rect((W - s.width) / 2, 0, s.width, s.height));
    innerContainerView_->addSubview(innerView_);
    scrollView_->addSubview(innerContainerView_);
    y = innerContainerView_->frame().maxY();
  } else if (type_ == QBAlertViewType::TextFields) {
    for (uint64_t i = 0; i < numberOfTextFields_; ++i) {
      if (i == 0) y += m;
      scrollView_->addSubview(separator(separatorsColor, Rect(0, y, W, t)));
      y += t;
      auto field = std::make_shared<QBAlertViewTextField>(Rect(0, y, W, textFieldsHeight));
      field->setDelegate(adapter_);
      field->setTag(static_cast<int64_t>(i));
      field->setBackgroundColor(textFieldsBackgroundColor);
      field->setTextColor(textFieldsTextColor);
      field->setFont(textFieldsFont);
      field->setTextAlignment(textFieldsTextAlignment);
      field->setClearsOnBeginEditing(textFieldsClearsOnBeginEditing);
      field->setAdjustsFontSizeToFitWidth(textFieldsAdjustsFontSizeToFitWidth);
      field->setMinimumFontSize(textFieldsMinimumFontSize);
      field->setClearButtonMode(static_cast<ui::TextFieldViewMode>(textFieldsClearButtonMode));
      field->setReturnKeyType(i + 1 < numberOfTextFields_ ? ui::ReturnKeyType::Next : ui::ReturnKeyType::Done);
      if (textFieldsSetupHandler_) textFieldsSetupHandler_(*field, i);
      scrollView_->addSubview(field);
      textFields_.push_back(field);
      y = field->frame().maxY();
    }
    y -= m;
  } else if (type_ == QBAlertViewType::ProgressView) {
    progressView_ = std::make_shared<ui::ProgressView>();
    progressView_->setProgress(progress_);
    progressView_->setBackgroundColor(ui::Color::clear());
    progressView_->setProgressTintColor(progressViewProgressTintColor_);
    progressView_->setTrackTintColor(progressViewTrackTintColor);
    progressView_->setFrame(Rect(10, y + m, W - 20, progressView_->bounds().height()));
    scrollView_->addSubview(progressView_);
    y = progressView_->frame().maxY();
  } else if (type_ == QBAlertViewType::ActivityIndicator) {
    activityIndicator_ = std::make_shared<ui::ActivityIndicatorView>(
        static_cast<ui::ActivityIndicatorViewStyle>(activityIndicatorViewStyle));
    activityIndicator_->setColor(activityIndicatorViewColor_);
    activityIndicator_->setBackgroundColor(ui::Color::clear());
    activityIndicator_->startAnimating();
    Size s = activityIndicator_->bounds().size;
    activityIndicator_->setFrame(Rect((W - s.width) / 2, y + m, s.width, s.height));
    scrollView_->addSubview(activityIndicator_);
    y = activityIndicator_->frame().maxY();
  }
  if ((type_ == QBAlertViewType::ActivityIndicator || type_ == QBAlertViewType::ProgressView) &&
      !progressLabelText_.empty()) {
    progressLabel_ = std::make_shared<ui::Label>();
    progressLabel_->setTextColor(progressLabelTextColor);
    progressLabel_->setTextAlignment(progressLabelTextAlignment);
    progressLabel_->setNumberOfLines(static_cast<int>(progressLabelNumberOfLines));
    progressLabel_->setFont(progressLabelFont);
    progressLabel_->setLineBreakMode(static_cast<ui::LineBreakMode>(progressLabelLineBreakMode));
    progressLabel_->setText("X");
    double lineHeight = progressLabel_->sizeThatFits(Size(kUnlimited, kUnlimited)).height;
    progressLabel_->setText(progressLabelText_);
    progressLabel_->setFrame(
        Rect(10, y + m / 2, W - 20, static_cast<double>(progressLabelNumberOfLines) * lineHeight));
    scrollView_->addSubview(progressLabel_);
    y = progressLabel_->frame().maxY();
  }

  if (cancelSeparate()) {
    shadowCancelView_ = makeShadowView();
    view_->insertSubviewBelow(shadowCancelView_, scrollView_.get());
    blurCancelView_ = std::make_shared<ui::VisualEffectView>();
    blurCancelView_->contentView().setBackgroundColor(backgroundColor);
    blurCancelView_->setClipsToBounds(true);
    blurCancelView_->layer().setCornerRadius(layerCornerRadius);
    blurCancelView_->setUserInteractionEnabled(false);
    view_->insertSubviewAbove(blurCancelView_, scrollView_.get());
    cancelButton_ = makeButton(cancelButtonTitle_, cancelButtonLook_, cancelButtonEnabled_);
    cancelButton_->layer().setCornerRadius(innerRadius);
    cancelButton_->setClipsToBounds(true);
    std::weak_ptr<QBAlertView> weak = weak_from_this();
    cancelButton_->addTarget(this, [weak](ui::Control& c) {
      if (auto self = weak.lock()) self->cancelAction(&c);
    }, ui::kControlEventTouchUpInside);
    view_->insertSubviewAbove(cancelButton_, blurCancelView_.get());
  }

  makeRowOrTable(y);
  scrollView_->setContentSize(Size(W, y));
}

std::shared_ptr<QBAlertViewButton> QBAlertView::makeButton(const std::string& title, const ButtonLook& look,
                                                           bool enabled) {
  auto b = std::make_shared<QBAlertViewButton>();
  b->setTitle(title);
  b->setTitleColor(look.titleColor, ui::kControlStateNormal);
  b->setTitleColor(look.titleColorHighlighted, ui::kControlStateHighlighted);
  b->setTitleColor(look.titleColorHighlighted, ui::kControlStateSelected);
  b->setTitleColor(look.titleColorDisabled, ui::kControlStateDisabled);
  b->setBackgroundColor(look.backgroundColor, ui::kControlStateNormal);
  b->setBackgroundColor(look.backgroundColorHighlighted, ui::kControlStateHighlighted);
  b->setBackgroundColor(look.backgroundColorHighlighted, ui::kControlStateSelected);
  b->setBackgroundColor(look.backgroundColorDisabled, ui::kControlStateDisabled);
  b->setImage(look.iconImage, ui::kControlStateNormal);
  b->setImage(look.iconImageHighlighted, ui::kControlStateHighlighted);
  b->setImage(look.iconImageHighlighted, ui::kControlStateSelected);
  b->setImage(look.iconImageDisabled, ui::kControlStateDisabled);
  ui::Label& label = b->titleLabel();
  label.setFont(look.font);
  label.setNumberOfLines(static_cast<int>(look.numberOfLines));
  label.setLineBreakMode(static_cast<ui::LineBreakMode>(look.lineBreakMode));
  label.setMinimumScaleFactor(look.minimumScaleFactor);
  label.setAdjustsFontSizeToFitWidth(look.adjustsFontSizeToFitWidth);
  label.setTextAlignment(look.textAlignment);
  b->setContentHorizontalAlignment(look.textAlignment == ui::TextAlignment::Left    ? ui::ControlContentHorizontalAlignment::Left
                                   : look.textAlignment == ui::TextAlignment::Right ? ui::ControlContentHorizontalAlignment::Right
                                                                                     : ui::ControlContentHorizontalAlignment::Center);
  b->setIconPosition(look.iconPosition);
  if (look.iconImage && !title.empty()) b->setTitleEdgeInsets({0, 4, 0, 4});
  b->setEnabled(enabled);
  return b;
}

void QBAlertView::makeRowOrTable(double& y) {
  const bool sheet = style_ == QBAlertViewStyle::ActionSheet;
  const double W = width();
  const double m = sheet ? 12 : 16;
  const double t = QBAlertViewHelper::separatorHeight();
  const bool cancelInRow = !cancelButtonTitle_.empty() && !cancelSeparate();
  const size_t n = buttonTitles_.size() + (destructiveButtonTitle_.empty() ? 0 : 1) + (cancelInRow ? 1 : 0);
  if (n == 0) {
    y += m;
    return;
  }
  bool row = !oneRowOneButton && ((!sheet && n <= 3) || (sheet && n == 1));
  const double w = W / static_cast<double>(n);
  if (row && w < kMinimumButtonWidth) row = false;
  if (!row) return makeTable(y);

  std::weak_ptr<QBAlertView> weak = weak_from_this();
  std::vector<std::shared_ptr<QBAlertViewButton>> order;
  if (cancelInRow) {
    cancelButton_ = makeButton(cancelButtonTitle_, cancelButtonLook_, cancelButtonEnabled_);
    cancelButton_->addTarget(this, [weak](ui::Control& c) {
      if (auto self = weak.lock()) self->cancelAction(&c);
    }, ui::kControlEventTouchUpInside);
    order.push_back(cancelButton_);
  }
  if (!destructiveButtonTitle_.empty()) {
    destructiveButton_ = makeButton(destructiveButtonTitle_, destructiveButtonLook_, destructiveButtonEnabled_);
    destructiveButton_->addTarget(this, [weak](ui::Control& c) {
      if (auto self = weak.lock()) self->destructiveAction(&c);
    }, ui::kControlEventTouchUpInside);
    order.push_back(destructiveButton_);
  }
  std::shared_ptr<QBAlertViewButton>* plain[] = {&firstButton_, &secondButton_, &thirdButton_};
  for (size_t i = 0; i < buttonTitles_.size() && i < 3; ++i) {
    *plain[i] = makeButton(buttonTitles_[i], lookForIndex(i), buttonsEnabled_[i]);
    (*plain[i])->addTarget(this, [weak, i](ui::Control& c) {
      auto self = weak.lock();
      if (!self) return;
      c.setSelected(true);
      self->actionAtIndex(i, self->buttonTitles_[i]);
    }, ui::kControlEventTouchUpInside);
    order.push_back(*plain[i]);
  }
  for (auto& b : order) {
    if (b->sizeThatFits(Size(kUnlimited, kUnlimited)).width > w) {
      if (cancelInRow) cancelButton_.reset();
      destructiveButton_.reset();
      firstButton_.reset();
      secondButton_.reset();
      thirdButton_.reset();
      return makeTable(y);
    }
  }
  if (y != 0) {
    scrollView_->addSubview(separator(separatorsColor, Rect(0, y + m, W, t)));
    y += m + t;
  }
  double x = 0;
  for (size_t i = 0; i < order.size(); ++i) {
    double bw = i == 0 ? w : w - t;
    if (i > 0) {
      scrollView_->addSubview(separator(separatorsColor, Rect(x, y, t, buttonsHeight_)));
      x += t;
    }
    order[i]->setFrame(Rect(x, y, bw, buttonsHeight_));
    scrollView_->addSubview(order[i]);
    x += bw;
  }
  y += buttonsHeight_;
}

void QBAlertView::makeTable(double& y) {
  const bool sheet = style_ == QBAlertViewStyle::ActionSheet;
  const double W = width();
  const double m = sheet ? 12 : 16;
  const double t = QBAlertViewHelper::separatorHeight();
  if (!destructiveButtonTitle_.empty()) buttonTitles_.insert(buttonTitles_.begin(), destructiveButtonTitle_);
  if (!cancelButtonTitle_.empty() && !cancelSeparate()) buttonTitles_.push_back(cancelButtonTitle_);
  tableView_ = std::make_shared<ui::TableView>(ui::TableViewStyle::Plain);
  tableView_->setBackgroundColor(ui::Color::clear());
  tableView_->setScrollEnabled(false);
  tableView_->setClipsToBounds(false);
  tableView_->registerCell("cell", [] { return std::make_shared<QBAlertViewCell>("cell"); });
  tableView_->setDataSource(adapter_);
  tableView_->setDelegate(adapter_);
  if (y == 0) {
    y = -m;
  } else {
    tableView_->setTableHeaderView(separator(separatorsColor, Rect(0, 0, W, t)));
  }
  y += m;
  tableView_->setFrame(Rect(0, y, W, 0));
  double height = tableView_->tableHeaderView() ? t : 0;
  for (int r = 0; r < rowCount(); ++r) height += adapter_->heightForRow(*tableView_, ui::IndexPath::forRow(r, 0));
  tableView_->setFrame(Rect(0, y, W, height));
  tableView_->reloadData();
  scrollView_->addSubview(tableView_);
  y = tableView_->frame().maxY();
}

void QBAlertView::configCell(QBAlertViewCell& cell, int row) const {
  const bool destructive = !destructiveButtonTitle_.empty();
  const bool cancelRow = !cancelButtonTitle_.empty() && !cancelSeparate() && row == rowCount() - 1;
  ButtonLook look;
  bool enabled;
  if (row == 0 && destructive) {
    look = destructiveButtonLook_;
    enabled = destructiveButtonEnabled_;
  } else if (cancelRow) {
    look = cancelButtonLook_;
    enabled = cancelButtonEnabled_;
  } else {
    uint64_t index = static_cast<uint64_t>(row - (destructive ? 1 : 0));
    look = lookForIndex(index);
    enabled = index < buttonsEnabled_.size() && buttonsEnabled_[index];
  }
  cell.titleColor = look.titleColor;
  cell.titleColorHighlighted = look.titleColorHighlighted;
  cell.titleColorDisabled = look.titleColorDisabled;
  cell.backgroundColorNormal = look.backgroundColor;
  cell.backgroundColorHighlighted = look.backgroundColorHighlighted;
  cell.backgroundColorDisabled = look.backgroundColorDisabled;
  cell.image = look.iconImage;
  cell.imageHighlighted = look.iconImageHighlighted;
  cell.imageDisabled = look.iconImageDisabled;
  cell.iconPosition = look.iconPosition;
  ui::Label& label = cell.textLabel();
  label.setText(buttonTitles_[static_cast<size_t>(row)]);
  label.setFont(look.font);
  label.setNumberOfLines(static_cast<int>(look.numberOfLines));
  label.setLineBreakMode(static_cast<ui::LineBreakMode>(look.lineBreakMode));
  label.setMinimumScaleFactor(look.minimumScaleFactor);
  label.setAdjustsFontSizeToFitWidth(look.adjustsFontSizeToFitWidth);
  label.setTextAlignment(look.textAlignment);
  cell.separatorView().setBackgroundColor(separatorsColor);
  cell.separatorView().setHidden(row == rowCount() - 1);
  cell.setEnabled(enabled);
}

void QBAlertView::layoutValidateWithSize(Size size) {
  if (!view_) return;
  Size S = (size.width == 0 && size.height == 0) ? viewController_->view()->bounds().size : size;
  const double W = width();
  const double bh = buttonsHeight_;
  const bool separate = cancelSeparate();
  view_->setFrame(Rect(0, 0, S.width, S.height));
  backgroundView_->setFrame(Rect(0, 0, S.width, S.height));

  const double statusBar = windowLevel == 1 ? QBAlertViewHelper::statusBarHeight() : 0;
  double h = S.height - keyboardHeight_ - 2 * offsetVertical - statusBar;
  if (heightMax != kUnset) h = std::min(h, heightMax);
  if (separate)
    h -= bh + cancelButtonOffsetY;
  else if (cancelOnTouch_ && cancelButtonTitle_.empty() && S.width < W + 2 * bh)
    h -= 2 * bh;
  const double content = scrollView_->contentSize().height;
  double H = std::min(h, content);
  double x = (S.width - W) / 2;
  double y;
  ui::AffineTransform transform;
  double alpha = 1;
  const bool notRetina = QBAlertViewHelper::isNotRetina();
  if (style_ == QBAlertViewStyle::ActionSheet && !padCentered()) {
    y = S.height - offsetVertical - (separate ? bh + cancelButtonOffsetY : 0) - H;
    Rect panel(x, y, W, H);
    Rect cancel(x, S.height - cancelButtonOffsetY - bh, W, bh);
    scrollViewCenterShowed_ = centerOf(panel);
    cancelButtonCenterShowed_ = centerOf(cancel);
    double d = H + offsetVertical + (separate ? bh + cancelButtonOffsetY : 0);
    scrollViewCenterHidden_ = Point(scrollViewCenterShowed_.x,
                                    scrollViewCenterShowed_.y + d + layerBorderWidth + layerShadowRadius);
    cancelButtonCenterHidden_ = Point(cancelButtonCenterShowed_.x, cancelButtonCenterShowed_.y + d);
    if (!showing_) {
      y += d;
      cancel.origin.y += d;
    }
    if (separate && cancelButton_) {
      cancelButton_->setFrame(cancel);
      shadowCancelView_->setFrame(grown(cancel, layerBorderWidth + layerShadowRadius));
      blurCancelView_->setFrame(grown(cancel, layerBorderWidth));
    }
  } else {
    y = (S.height - keyboardHeight_ - H) / 2 + statusBar / 2;
    if (!showing_) {
      transform = ui::AffineTransform::scale(initialScale, initialScale);
      alpha = 0;
    }
  }
  if (notRetina) {
    x = std::round(x);
    y = std::round(y);
    H = std::round(H);
    if (H - content == 1) H -= 2;
  }
  Rect panel(x, y, W, H);
  placeWithTransform(*scrollView_, panel, transform, alpha);
  placeWithTransform(*shadowView_, grown(panel, layerBorderWidth + layerShadowRadius), transform, alpha);
  shadowView_->setNeedsDisplay();
  placeWithTransform(*blurView_, grown(panel, layerBorderWidth), transform, alpha);
}
