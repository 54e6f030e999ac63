// The application's icon, as shared pictures and the backup screen show
// it: the main bundle's primary icon through the kit's icon mask.
#include "Libraries/AppSupportKit/ImageEffects.h"
#include "Libraries/AppSupportKit/TXKit.h"
#include "Platform/Graphics/Image.h"
#include "Platform/UIKit/Image.h"

namespace {

// The last of "CFBundleIcons"/"CFBundlePrimaryIcon"/"CFBundleIconFiles".
std::string primaryIconName() {
  const ns::Value* icons = ns::Bundle::mainBundle()->objectForInfoDictionaryKey("CFBundleIcons");
  const ns::Value* primary = icons && icons->isDictionary() ? icons->asDictionary()->find("CFBundlePrimaryIcon") : nullptr;
  const ns::Value* files =
      primary && primary->isDictionary() ? primary->asDictionary()->find("CFBundleIconFiles") : nullptr;
  if (!files || !files->isArray() || files->asArray()->empty()) return {};
  const ns::Value& last = files->asArray()->back();
  return last.isString() ? *last.asString() : std::string();
}

}  // namespace

std::shared_ptr<const ui::Image> TXKit::applicationIcon() {
  std::string name = primaryIconName();
  auto icon = name.empty() ? nullptr : ui::Image::named(name);
  auto mask = imageNamed("maskIcon");
  if (!icon || !mask) return icon;
  auto masked = ImageEffects::imageWithMask(*icon, *mask);
  // At the icon's own scale, so that it keeps its size in points.
  return masked ? ui::Image::withBitmap(masked->bitmap()->withScale(icon->scale())) : nullptr;
}
