// A view that shows an image (or its highlighted image), tinted when the
// image is a template.
#pragma once

#include "Platform/UIKit/Image.h"
#include "Platform/UIKit/View.h"

namespace ui {

class ImageView : public View {
 public:
  ImageView() = default;
  explicit ImageView(ImagePtr image);
  std::string typeName() const override { return "ImageView"; }

  ImagePtr image() const { return image_; }
  // The view takes the image's size when it had none.
  void setImage(ImagePtr image);
  ImagePtr highlightedImage() const { return highlighted_; }
  void setHighlightedImage(ImagePtr image) { highlighted_ = std::move(image); }
  bool isHighlighted() const { return isHighlighted_; }
  void setHighlighted(bool h) { isHighlighted_ = h; }

  Size sizeThatFits(Size size) const override;
  std::string screenText() const override;
  void drawRect(const Rect& rect) override;

 private:
  ImagePtr image_;
  ImagePtr highlighted_;
  bool isHighlighted_ = false;
};

}  // namespace ui
