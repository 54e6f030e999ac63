// The application's icon, as shared pictures show it (its name is with the
// support mail's data, TXKitMail.cc).
#include "Libraries/AppSupportKit/TXKit.h"
#include "Platform/Graphics/Path.h"
#include "Platform/UIKit/GraphicsContext.h"
#include "Platform/UIKit/Image.h"

std::shared_ptr<const ui::Image> TXKit::applicationIcon() {
  auto icon = ui::Image::named("AppIcon");
  if (!icon) return nullptr;
  // The system's mask: a square with corners rounded by a little under a
  // quarter of its side.
  ui::Size size = icon->size();
  ui::GraphicsContext::beginImageContext(size, false, icon->scale());
  cg::ImageContext* context = ui::GraphicsContext::current();
  double radius = std::min(size.width, size.height) * 0.225;
  context->clipToPath(cg::Path::roundedRect(ui::Rect(0, 0, size.width, size.height), radius));
  icon->draw(*context, ui::Rect(0, 0, size.width, size.height));
  auto masked = ui::GraphicsContext::imageFromCurrentContext();
  ui::GraphicsContext::endImageContext();
  return masked;
}
