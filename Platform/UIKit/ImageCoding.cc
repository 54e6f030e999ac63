#include "Platform/UIKit/ImageCoding.h"

#include <mutex>

#include "Platform/Foundation/KeyedArchiveRegistry.h"
#include "Platform/Foundation/KeyedArchiver.h"
#include "Platform/Foundation/KeyedUnarchiver.h"

namespace ui {

void ArchivedImage::encodeWithCoder(ns::KeyedArchiver& coder) const {
  coder.encodeData(image_ ? image_->pngData() : ns::Data{}, kDataKey);
  coder.encodeDouble(image_ ? image_->scale() : 1, kScaleKey);
}

std::shared_ptr<ns::Coding> ArchivedImage::initWithCoder(ns::KeyedUnarchiver& coder) {
  auto data = coder.decodeData(kDataKey);
  double scale = coder.containsValueForKey(kScaleKey) ? coder.decodeDouble(kScaleKey) : 1;
  auto image = data && scale > 0 ? Image::withData(*data, scale) : nullptr;
  if (!image) {
    coder.failWithError(ns::Error(ns::kCocoaErrorDomain, ns::kCoderReadCorruptError,
                                  {{"NSDebugDescription", ns::Value("The image data is not a PNG.")}}));
    return nullptr;
  }
  return std::make_shared<ArchivedImage>(image);
}

void registerImageCoding() {
  static std::once_flag once;
  std::call_once(once, [] {
    ns::KeyedArchiveRegistry::shared().registerClass(
        {.name = ArchivedImage::kClassName, .decode = ArchivedImage::initWithCoder});
  });
}

}  // namespace ui
