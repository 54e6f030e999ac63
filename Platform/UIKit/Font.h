// A font: a family, one of its faces and a point size, with the face's bold
// and italic symbolic traits. Made from the machine's font catalogue; the
// platform's family names (the note font's "Helvetica Neue") keep their name
// here and are drawn with the installed face that stands for them. Fonts
// are immutable text attribute values, equal when family, face and size are.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "Platform/Foundation/AttributeValue.h"
#include "Platform/UIKit/FontCatalog.h"
#include "Platform/UIKit/FontDescriptor.h"

namespace ui {

inline constexpr const char* kTextStyleBody = "UIFontTextStyleBody";

class Font : public ns::AttributeObject {
 public:
  Font(std::string familyName, FontFace face, double pointSize, const FontCatalog& catalog);

  // By PostScript name, full name or family name; null when the catalogue
  // knows no such font. A size of 0 or less gives 12 points.
  static std::shared_ptr<const Font> withName(const std::string& name, double size,
                                              const FontCatalog& catalog = FontCatalog::shared());
  // From a descriptor: its name when it has one, else its family with the
  // face that best fits its bold and italic traits (the regular face when
  // the family lacks them: callers compare the traits they got). Null when
  // the name or family is unknown. Size 0 takes the descriptor's, then 12.
  static std::shared_ptr<const Font> withDescriptor(const FontDescriptor& descriptor, double size,
                                                    const FontCatalog& catalog = FontCatalog::shared());
  static std::shared_ptr<const Font> systemFont(double size);
  static std::shared_ptr<const Font> boldSystemFont(double size);
  static std::shared_ptr<const Font> italicSystemFont(double size);
  // The font of a text style at the default content size (body: 17 points).
  static std::shared_ptr<const Font> preferredFontForTextStyle(const std::string& style);
  // The families of the catalogue, sorted case-insensitively.
  static std::vector<std::string> familyNames(const FontCatalog& catalog = FontCatalog::shared());
  static std::vector<std::string> fontNamesForFamilyName(
      const std::string& family, const FontCatalog& catalog = FontCatalog::shared());

  const std::string& familyName() const { return familyName_; }
  const std::string& fontName() const { return fontName_; }  // PostScript-style
  const std::string& faceName() const { return faceName_; }
  double pointSize() const { return pointSize_; }
  uint32_t symbolicTraits() const { return face_.symbolicTraits(); }
  bool isBold() const { return symbolicTraits() & kFontTraitBold; }
  bool isItalic() const { return symbolicTraits() & kFontTraitItalic; }
  // The installed face that draws it.
  const FontFace& face() const { return face_; }
  const FontCatalog& catalog() const { return *catalog_; }

  // {family, face, size, traits}.
  FontDescriptor fontDescriptor() const;
  std::shared_ptr<const Font> withSize(double size) const;

  bool isEqual(const ns::AttributeObject& other) const override;
  size_t hash() const override;
  // "font-family: \"Helvetica Neue\"; font-weight: bold; font-style: normal; font-size: 17.00pt"
  std::string description() const override;

 private:
  std::string familyName_;
  std::string fontName_;
  std::string faceName_;
  FontFace face_;
  double pointSize_;
  const FontCatalog* catalog_;
};

}  // namespace ui
