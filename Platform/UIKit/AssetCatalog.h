// The app's own asset catalogue: a directory of PNG images ("Body.png",
// "Body@2x.png", "Body@3x.png") and a colour list "Colors.plist" (a
// dictionary: name -> {red, green, blue, alpha} in 0...1, or "#RRGGBB" /
// "#RRGGBBAA"). Images pick the file of the screen's scale, else the
// largest there is; loaded images and colours are cached.
//
// The directory is $QUILLBOX_ASSETS when set, else what setDirectory gave.
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "Platform/UIKit/Color.h"
#include "Platform/UIKit/Image.h"

namespace ui {

class AssetCatalog {
 public:
  static AssetCatalog& shared();

  void setDirectory(std::string directory);
  std::string directory() const;

  // Null when there is no such image or colour.
  std::shared_ptr<const Image> image(const std::string& name);
  std::shared_ptr<const Color> color(const std::string& name);

 private:
  mutable std::mutex mutex_;
  std::string directory_;
  std::map<std::string, std::shared_ptr<const Image>> images_;
  std::map<std::string, std::shared_ptr<const Color>> colors_;
  bool colorsLoaded_ = false;
};

}  // namespace ui
