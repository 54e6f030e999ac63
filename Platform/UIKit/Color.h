// A colour as red, green, blue and alpha components in 0...1, used as a text
// attribute (foreground colour) and by views. Two colours are equal when
// their components are; an RTF document keeps 8 bits per component.
#pragma once

#include <memory>
#include <string>

#include "Platform/Foundation/AttributeValue.h"

namespace ui {

class Color : public ns::AttributeObject {
 public:
  Color(double red, double green, double blue, double alpha = 1.0);

  static std::shared_ptr<const Color> withRGBA(double red, double green, double blue,
                                               double alpha = 1.0);
  static std::shared_ptr<const Color> withWhite(double white, double alpha = 1.0);

  // Named colours of the platform.
  static std::shared_ptr<const Color> black();
  static std::shared_ptr<const Color> white();
  static std::shared_ptr<const Color> gray();      // white 0.5
  static std::shared_ptr<const Color> darkGray();  // white 1/3
  static std::shared_ptr<const Color> lightGray(); // white 2/3
  static std::shared_ptr<const Color> clear();     // black, alpha 0
  static std::shared_ptr<const Color> red();
  static std::shared_ptr<const Color> blue();
  static std::shared_ptr<const Color> systemGray();  // 142/255, 142/255, 147/255

  double redComponent() const { return red_; }
  double greenComponent() const { return green_; }
  double blueComponent() const { return blue_; }
  double alpha() const { return alpha_; }
  std::shared_ptr<const Color> withAlphaComponent(double alpha) const;

  bool isEqual(const ns::AttributeObject& other) const override;
  size_t hash() const override;
  // "Color r g b a" with up to six decimals.
  std::string description() const override;

 private:
  double red_, green_, blue_, alpha_;
};

}  // namespace ui
