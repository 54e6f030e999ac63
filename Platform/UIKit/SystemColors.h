// The platform's semantic colours in their light appearance, and pattern
// colours (an image tiled as a colour).
#pragma once

#include <memory>

#include "Platform/UIKit/Color.h"
#include "Platform/UIKit/Image.h"

namespace ui {

std::shared_ptr<const Color> systemBlueColor();       // 0, 122, 255
std::shared_ptr<const Color> systemRedColor();        // 255, 59, 48
std::shared_ptr<const Color> labelColor();            // black
std::shared_ptr<const Color> secondaryLabelColor();   // 60, 60, 67 at 0.6
std::shared_ptr<const Color> tertiaryLabelColor();    // 60, 60, 67 at 0.3
std::shared_ptr<const Color> placeholderTextColor();  // 60, 60, 67 at 0.3
std::shared_ptr<const Color> separatorColor();        // 60, 60, 67 at 0.29
std::shared_ptr<const Color> systemBackgroundColor(); // white
std::shared_ptr<const Color> groupTableViewBackgroundColor();  // 242, 242, 247
std::shared_ptr<const Color> secondarySystemBackgroundColor(); // 242, 242, 247
std::shared_ptr<const Color> darkTextColor();         // black
std::shared_ptr<const Color> lightTextColor();        // white at 0.6

// A colour that paints an image, tiled. Its components are the image's
// average colour, so code that reads components gets something sensible.
class PatternColor : public Color {
 public:
  explicit PatternColor(std::shared_ptr<const Image> image);
  const std::shared_ptr<const Image>& patternImage() const { return image_; }
  bool isEqual(const ns::AttributeObject& other) const override;
  std::string description() const override;

 private:
  std::shared_ptr<const Image> image_;
};

std::shared_ptr<const Color> colorWithPatternImage(std::shared_ptr<const Image> image);

}  // namespace ui
