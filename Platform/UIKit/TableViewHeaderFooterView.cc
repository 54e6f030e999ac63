#include "Platform/UIKit/TableViewHeaderFooterView.h"

#include "Platform/UIKit/Label.h"

namespace ui {

TableViewHeaderFooterView::TableViewHeaderFooterView(std::string reuseIdentifier)
    : View(Rect(0, 0, 320, 28)), reuseIdentifier_(std::move(reuseIdentifier)) {
  contentView_ = View::make(bounds());
  contentView_->setAutoresizingMask(kAutoresizingFlexibleWidth | kAutoresizingFlexibleHeight);
  addSubview(contentView_);
}

Label& TableViewHeaderFooterView::textLabel() {
  if (!textLabel_) {
    textLabel_ = std::make_shared<Label>();
    textLabel_->setFont(Font::systemFont(kHeaderFooterFontSize));
    contentView_->addSubview(textLabel_);
  }
  return *textLabel_;
}

void TableViewHeaderFooterView::layoutSubviews() {
  Rect b = contentView_->bounds();
  if (textLabel_) textLabel_->setFrame(Rect(16, 0, std::max(0.0, b.width() - 32), b.height()));
}

}  // namespace ui
