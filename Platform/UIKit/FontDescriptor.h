// A description of a font by attributes (family, face, name, size, traits),
// from which a font is made (Font::withDescriptor). The attribute keys are
// the platform's; the traits attribute is a dictionary holding the symbolic
// traits under kFontSymbolicTrait.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "Platform/Foundation/Value.h"

namespace ui {

inline constexpr const char* kFontFamilyAttribute = "NSFontFamilyAttribute";
inline constexpr const char* kFontNameAttribute = "NSFontNameAttribute";
inline constexpr const char* kFontFaceAttribute = "NSFontFaceAttribute";
inline constexpr const char* kFontSizeAttribute = "NSFontSizeAttribute";
inline constexpr const char* kFontTraitsAttribute = "NSCTFontTraitsAttribute";
inline constexpr const char* kFontSymbolicTrait = "NSCTFontSymbolicTrait";

class FontDescriptor {
 public:
  // Fails (absent) when a known attribute has the wrong type: a family,
  // name or face that is not a string, a size that is not a number, traits
  // that are not a dictionary with a number under kFontSymbolicTrait.
  static std::optional<FontDescriptor> withFontAttributes(ns::Dictionary attributes);

  const ns::Dictionary& fontAttributes() const { return attributes_; }
  std::optional<std::string> familyName() const;
  std::optional<std::string> fontName() const;
  std::optional<std::string> faceName() const;
  double pointSize() const;  // 0 when not given
  uint32_t symbolicTraits() const;

  // A copy whose traits attribute holds `traits`.
  FontDescriptor withSymbolicTraits(uint32_t traits) const;

  bool operator==(const FontDescriptor& other) const { return attributes_ == other.attributes_; }

 private:
  ns::Dictionary attributes_;
};

}  // namespace ui
