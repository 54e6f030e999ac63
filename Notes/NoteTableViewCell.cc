#include "Notes/NoteTableViewCell.h"

#include <algorithm>
#include <cmath>

#include "Notes/NTAppearance.h"
#include "Platform/UIKit/Image.h"
#include "Platform/UIKit/ImageView.h"
#include "Platform/UIKit/Label.h"

namespace {
constexpr double kMargin = 16;
constexpr double kImageSide = 22;
constexpr double kGap = 8;
}  // namespace

NoteTableViewCell::NoteTableViewCell(std::string reuseIdentifier)
    : ui::TableViewCell(ui::TableViewCellStyle::Default, std::move(reuseIdentifier)) {
  // The list's mark of a note with a reminder; the folder lists put their
  // own images here.
  imageView_ = std::make_shared<ui::ImageView>(ui::Image::named("Reminder"));
  titleLabel_ = std::make_shared<ui::Label>();
  dateLabel_ = std::make_shared<ui::Label>();
  dateLabel_->setTextAlignment(ui::TextAlignment::Right);
  contentView().addSubview(imageView_);
  contentView().addSubview(titleLabel_);
  contentView().addSubview(dateLabel_);
  setBackgroundColor(ui::Color::clear());
  auto selected = ui::View::make();
  selected->setBackgroundColor(NTAppearance::selectedCellBackgroundColor());
  setSelectedBackgroundView(selected);
  setNeedsLayout();
}

void NoteTableViewCell::setHideImage(bool hide, bool animated) {
  if (hide == hideImage_) return;
  hideImage_ = hide;
  layoutIfNeeded();
  titleLeading_ = hide ? -imageView_->frame().width() : kImageSpacing;
  setNeedsLayout();
  double alpha = hide ? 0 : 1;
  if (!animated) {
    imageView_->setAlpha(alpha);
    layoutIfNeeded();
    return;
  }
  std::weak_ptr<NoteTableViewCell> weak = std::static_pointer_cast<NoteTableViewCell>(shared_from_this());
  ui::View::animate(kAnimationDuration, [weak, alpha] {
    auto self = weak.lock();
    if (!self) return;
    self->imageView_->setAlpha(alpha);
    self->layoutIfNeeded();
  });
}

void NoteTableViewCell::layoutSubviews() {
  ui::TableViewCell::layoutSubviews();
  ui::Rect b = contentView().bounds();
  imageView_->setFrame(ui::Rect(kMargin, (b.height() - kImageSide) / 2, kImageSide, kImageSide));
  ui::Size date = dateLabel_->sizeThatFits(ui::Size{b.width() / 2, b.height()});
  double dateWidth = dateLabel_->text().empty() ? 0 : std::ceil(date.width);
  double dateX = b.width() - kMargin - dateWidth;
  dateLabel_->setFrame(ui::Rect(dateX, 0, dateWidth, b.height()));
  double titleX = imageView_->frame().maxX() + titleLeading_;
  double titleRight = dateWidth > 0 ? dateX - kGap : b.width() - kMargin;
  titleLabel_->setFrame(ui::Rect(titleX, 0, std::max(0.0, titleRight - titleX), b.height()));
}
