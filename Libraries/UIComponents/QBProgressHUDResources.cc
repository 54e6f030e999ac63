#include "Libraries/UIComponents/QBProgressHUDResources.h"

#include <filesystem>

#include "Platform/Graphics/Image.h"

namespace QBProgressHUDResources {

namespace {
constexpr const char* kBundleName = "QBProgressHUD.bundle";

std::string besideSources() {
  return (std::filesystem::path(QUILLBOX_HUD_RESOURCES) / kBundleName).string();
}
}  // namespace

std::shared_ptr<ns::Bundle> bundle() {
  if (auto main = ns::Bundle::mainBundle()) {
    if (auto path = main->pathForResource("QBProgressHUD", "bundle")) {
      if (auto b = ns::Bundle::bundleWithPath(*path)) return b;
    }
  }
  return ns::Bundle::bundleWithPath(besideSources());
}

ui::ImagePtr image(const std::string& name) {
  auto b = bundle();
  if (!b) return nullptr;
  auto path = b->pathForResource(name, "png");
  if (!path) return nullptr;
  auto bitmap = cg::Image::fromFile(*path);
  if (!bitmap) return nullptr;
  return std::make_shared<ui::Image>(bitmap, name);
}

}  // namespace QBProgressHUDResources
