#include "Platform/UIKit/Font.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>

namespace ui {

namespace {
constexpr double kDefaultPointSize = 12.0;
double validSize(double size) { return size > 0 && std::isfinite(size) ? size : kDefaultPointSize; }
}  // namespace

Font::Font(std::string familyName, FontFace face, double pointSize, const FontCatalog& catalog)
    : familyName_(std::move(familyName)),
      face_(std::move(face)),
      pointSize_(validSize(pointSize)),
      catalog_(&catalog) {
  if (catalog.isPlatformFamily(familyName_) && face_.family != familyName_) {
    fontName_ = FontCatalog::platformFontName(familyName_, face_.symbolicTraits());
    faceName_ = FontCatalog::platformFaceName(face_.symbolicTraits());
  } else {
    fontName_ = face_.postscriptName.empty() ? familyName_ + "-" + face_.style : face_.postscriptName;
    faceName_ = face_.style;
  }
}

std::shared_ptr<const Font> Font::withName(const std::string& name, double size,
                                           const FontCatalog& catalog) {
  auto named = catalog.faceNamed(name);
  if (!named) return nullptr;
  return std::make_shared<const Font>(named->family, named->face, size, catalog);
}

std::shared_ptr<const Font> Font::withDescriptor(const FontDescriptor& descriptor, double size,
                                                 const FontCatalog& catalog) {
  if (size <= 0) size = descriptor.pointSize();
  if (auto name = descriptor.fontName()) return withName(*name, size, catalog);
  std::string family = descriptor.familyName().value_or(kDefaultDocumentFontFamily);
  if (!catalog.hasFamily(family)) return nullptr;
  uint32_t traits = descriptor.symbolicTraits();
  std::optional<FontFace> face;
  if (auto faceName = descriptor.faceName()) {
    for (const FontFace& candidate : catalog.faces(family))
      if (candidate.style == *faceName) face = candidate;
    if (!face) {  // a platform face name ("Bold") of a mapped family
      for (uint32_t t = 0; t < 4 && !face; ++t)
        if (FontCatalog::platformFaceName(t) == *faceName) face = catalog.bestFace(family, t | traits);
    }
  }
  if (!face) face = catalog.bestFace(family, traits);
  if (!face) return nullptr;
  std::string reported = catalog.isPlatformFamily(family) ? family : face->family;
  return std::make_shared<const Font>(reported, *face, size, catalog);
}

std::shared_ptr<const Font> Font::systemFont(double size) {
  return withName(kSystemFontFamily, size);
}

std::shared_ptr<const Font> Font::boldSystemFont(double size) {
  auto d = FontDescriptor::withFontAttributes({{kFontFamilyAttribute, kSystemFontFamily}});
  return withDescriptor(d->withSymbolicTraits(kFontTraitBold), size);
}

std::shared_ptr<const Font> Font::italicSystemFont(double size) {
  auto d = FontDescriptor::withFontAttributes({{kFontFamilyAttribute, kSystemFontFamily}});
  return withDescriptor(d->withSymbolicTraits(kFontTraitItalic), size);
}

std::shared_ptr<const Font> Font::preferredFontForTextStyle(const std::string&) {
  return systemFont(FontCatalog::preferredBodyFontSize());
}

std::vector<std::string> Font::familyNames(const FontCatalog& catalog) {
  return catalog.familyNames();
}

std::vector<std::string> Font::fontNamesForFamilyName(const std::string& family,
                                                      const FontCatalog& catalog) {
  std::vector<std::string> names;
  if (!catalog.hasFamily(family)) return names;
  for (const FontFace& face : catalog.faces(family)) {
    Font font(catalog.isPlatformFamily(family) ? family : face.family, face, 12, catalog);
    if (std::find(names.begin(), names.end(), font.fontName()) == names.end())
      names.push_back(font.fontName());
  }
  return names;
}

FontDescriptor Font::fontDescriptor() const {
  ns::Dictionary attributes{{kFontFamilyAttribute, familyName_},
                            {kFontFaceAttribute, faceName_},
                            {kFontNameAttribute, fontName_},
                            {kFontSizeAttribute, pointSize_}};
  return FontDescriptor::withFontAttributes(std::move(attributes))->withSymbolicTraits(symbolicTraits());
}

std::shared_ptr<const Font> Font::withSize(double size) const {
  return std::make_shared<const Font>(familyName_, face_, size, *catalog_);
}

bool Font::isEqual(const ns::AttributeObject& other) const {
  auto* font = dynamic_cast<const Font*>(&other);
  return font && font->familyName_ == familyName_ && font->fontName_ == fontName_ &&
         std::fabs(font->pointSize_ - pointSize_) < 1e-6;
}

size_t Font::hash() const {
  return std::hash<std::string>()(fontName_) ^ static_cast<size_t>(std::lround(pointSize_ * 64));
}

std::string Font::description() const {
  char size[32];
  std::snprintf(size, sizeof size, "%.2f", pointSize_);
  return "font-family: \"" + familyName_ + "\"; font-weight: " + (isBold() ? "bold" : "normal") +
         "; font-style: " + (isItalic() ? "italic" : "normal") + "; font-size: " + size + "pt";
}

}  // namespace ui
