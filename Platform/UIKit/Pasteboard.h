// The general pasteboard: the text or image the person last copied,
// shared by the whole process (there is no other app to share with here).
#pragma once

#include <mutex>
#include <optional>
#include <string>

#include "Platform/UIKit/Image.h"

namespace ui {

class Pasteboard {
 public:
  static Pasteboard& general();

  // The text on the pasteboard, if it holds text.
  std::optional<std::string> string() const;
  void setString(std::string text);
  ImagePtr image() const;
  void setImage(ImagePtr image);
  bool hasStrings() const { return string().has_value(); }
  bool hasImages() const { return image() != nullptr; }
  // Counts changes, as the platform's change count does.
  int changeCount() const;
  void clear();

 private:
  mutable std::mutex mutex_;
  std::optional<std::string> string_;
  ImagePtr image_;
  int changes_ = 0;
};

}  // namespace ui
