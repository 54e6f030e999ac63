// An image of the interface: a bitmap (cg::Image) with how it is drawn:
// as itself or as a template filled with the tint colour, and cap insets
// for resizable images (the caps stay, the middle tiles or stretches).
// Named images come from the asset catalogue (AssetCatalog.h).
#pragma once

#include <memory>
#include <string>

#include "Platform/Foundation/Value.h"
#include "Platform/Graphics/Image.h"
#include "Platform/UIKit/Geometry.h"

namespace cg {
class ImageContext;
}

namespace ui {

enum class ImageRenderingMode { Automatic = 0, AlwaysOriginal = 1, AlwaysTemplate = 2 };
enum class ImageResizingMode { Tile = 0, Stretch = 1 };

class Image {
 public:
  explicit Image(std::shared_ptr<const cg::Image> bitmap, std::string name = {});

  // From the asset catalogue; null when it has no such image.
  static std::shared_ptr<const Image> named(const std::string& name);
  // Decodes PNG data; null when it is not an image.
  static std::shared_ptr<const Image> withData(const ns::Data& data, double scale = 1);
  static std::shared_ptr<const Image> withBitmap(std::shared_ptr<const cg::Image> bitmap);

  const std::shared_ptr<const cg::Image>& bitmap() const { return bitmap_; }
  // The asset name, empty for made images.
  const std::string& name() const { return name_; }
  Size size() const { return bitmap_ ? bitmap_->size() : Size{}; }
  double scale() const { return bitmap_ ? bitmap_->scale() : 1; }
  cg::ImageOrientation orientation() const {
    return bitmap_ ? bitmap_->orientation() : cg::ImageOrientation::Up;
  }
  ImageRenderingMode renderingMode() const { return renderingMode_; }
  EdgeInsets capInsets() const { return capInsets_; }
  ImageResizingMode resizingMode() const { return resizingMode_; }

  std::shared_ptr<const Image> withRenderingMode(ImageRenderingMode mode) const;
  std::shared_ptr<const Image> resizableWithCapInsets(EdgeInsets insets,
                                                      ImageResizingMode mode = ImageResizingMode::Tile) const;

  // PNG of the pixels (empty for an image without pixels).
  ns::Data pngData() const;
  // Draws into `context` filling `rect`; a template is drawn as `tint`
  // through its alpha; a resizable image keeps its caps.
  void draw(cg::ImageContext& context, const Rect& rect, const cg::Rgba* tint = nullptr) const;
  // "Image "name" 20x20@2x" for logs and the renderer.
  std::string description() const;

 private:
  std::shared_ptr<const cg::Image> bitmap_;
  std::string name_;
  ImageRenderingMode renderingMode_ = ImageRenderingMode::Automatic;
  EdgeInsets capInsets_;
  ImageResizingMode resizingMode_ = ImageResizingMode::Tile;
};

using ImagePtr = std::shared_ptr<const Image>;

}  // namespace ui
