#include "Platform/UIKit/AssetCatalog.h"

#include <cstdlib>
#include <filesystem>

#include "Platform/Foundation/PropertyList.h"
#include "Platform/UIKit/Screen.h"

namespace ui {

AssetCatalog& AssetCatalog::shared() {
  static AssetCatalog catalog;
  return catalog;
}

void AssetCatalog::setDirectory(std::string directory) {
  std::lock_guard<std::mutex> lock(mutex_);
  directory_ = std::move(directory);
  images_.clear();
  colors_.clear();
  colorsLoaded_ = false;
}

std::string AssetCatalog::directory() const {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!directory_.empty()) return directory_;
  const char* env = std::getenv("QUILLBOX_ASSETS");
  return env ? env : "";
}

std::shared_ptr<const Image> AssetCatalog::image(const std::string& name) {
  std::string dir = directory();
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = images_.find(name);
  if (it != images_.end()) return it->second;
  if (dir.empty() || name.empty()) return nullptr;
  int wanted = int(Screen::main().scale());
  std::shared_ptr<const Image> found;
  // The screen's scale first, then larger, then smaller ones.
  int order[] = {wanted, 3, 2, 1};
  for (int scale : order) {
    std::string file = dir + "/" + name + (scale == 1 ? "" : "@" + std::to_string(scale) + "x") + ".png";
    if (!std::filesystem::exists(file)) continue;
    auto bitmap = cg::Image::fromFile(file, scale);
    if (bitmap) {
      found = std::make_shared<const Image>(bitmap, name);
      break;
    }
  }
  if (found) images_[name] = found;
  return found;
}

namespace {
std::shared_ptr<const Color> parseColor(const ns::Value& v) {
  if (const std::string* s = v.asString()) {
    if (s->size() != 7 && s->size() != 9) return nullptr;
    if ((*s)[0] != '#') return nullptr;
    unsigned long value = std::strtoul(s->c_str() + 1, nullptr, 16);
    if (s->size() == 7) value = value << 8 | 0xFF;
    return Color::withRGBA(((value >> 24) & 0xFF) / 255.0, ((value >> 16) & 0xFF) / 255.0,
                           ((value >> 8) & 0xFF) / 255.0, (value & 0xFF) / 255.0);
  }
  if (v.isDictionary()) {
    auto get = [&](const char* key, double fallback) {
      const ns::Value* c = v.find(key);
      return c ? c->doubleValue() : fallback;
    };
    return Color::withRGBA(get("red", 0), get("green", 0), get("blue", 0), get("alpha", 1));
  }
  return nullptr;
}
}  // namespace

std::shared_ptr<const Color> AssetCatalog::color(const std::string& name) {
  std::string dir = directory();
  std::lock_guard<std::mutex> lock(mutex_);
  if (!colorsLoaded_ && !dir.empty()) {
    colorsLoaded_ = true;
    if (auto list = ns::readDictionaryFile(dir + "/Colors.plist")) {
      for (const auto& [key, value] : *list) {
        if (auto c = parseColor(value)) colors_[key] = c;
      }
    }
  }
  auto it = colors_.find(name);
  return it == colors_.end() ? nullptr : it->second;
}

}  // namespace ui
