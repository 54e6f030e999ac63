// Images in keyed archives: an image is archived as the class "UIImage"
// holding its pixels as PNG data and its scale, so a cache file of images
// reads back in any property-list tool and decodes only where "UIImage" is
// an allowed class.
//
//   ui::registerImageCoding();   // once, before the first image is read
//   auto data = ns::KeyedArchiver::archivedDataWithRootObject(
//       std::make_shared<ui::ArchivedImage>(image), true, &error);
//   auto back = ns::KeyedUnarchiver::unarchivedObjectOfClass(ui::ArchivedImage::kClassName, *data, &error)
//                   .objectAs<ui::ArchivedImage>()->image();
#pragma once

#include <memory>
#include <string>

#include "Platform/Foundation/KeyedArchiveCoding.h"
#include "Platform/UIKit/Image.h"

namespace ns {
class KeyedUnarchiver;
}

namespace ui {

class ArchivedImage : public ns::Coding {
 public:
  static constexpr const char* kClassName = "UIImage";
  static constexpr const char* kDataKey = "UIImageData";
  static constexpr const char* kScaleKey = "UIImageScale";

  explicit ArchivedImage(ImagePtr image) : image_(std::move(image)) {}
  const ImagePtr& image() const { return image_; }

  std::string className() const override { return kClassName; }
  void encodeWithCoder(ns::KeyedArchiver& coder) const override;
  // Fails the decode when the data is missing or not a PNG.
  static std::shared_ptr<ns::Coding> initWithCoder(ns::KeyedUnarchiver& coder);

 private:
  ImagePtr image_;
};

// Registers "UIImage" with the archive registry; later calls do nothing.
void registerImageCoding();

}  // namespace ui
