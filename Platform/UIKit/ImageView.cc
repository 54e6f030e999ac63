#include "Platform/UIKit/ImageView.h"

namespace ui {

ImageView::ImageView(ImagePtr image) {
  setUserInteractionEnabled(false);
  setImage(std::move(image));
}

void ImageView::setImage(ImagePtr image) {
  image_ = std::move(image);
  if (image_ && bounds().isEmpty()) {
    Rect f = frame();
    setFrame(Rect(f.origin, image_->size()));
  }
}

Size ImageView::sizeThatFits(Size) const { return image_ ? image_->size() : Size{}; }

std::string ImageView::screenText() const {
  ImagePtr shown = isHighlighted_ && highlighted_ ? highlighted_ : image_;
  if (!shown || shown->name().empty()) return {};
  return "(" + shown->name() + ")";
}

}  // namespace ui
