#include "Notes/NotesFont.h"

namespace NotesFont {

std::shared_ptr<const ui::Font> fontWithTraits(const ui::Font& font, uint32_t traits) {
  ns::Dictionary attributes{{ui::kFontFamilyAttribute, font.familyName()}};
  uint32_t bits = traits & (ui::kFontTraitItalic | ui::kFontTraitBold);
  if (bits)
    attributes.set(ui::kFontTraitsAttribute, ns::Dictionary{{ui::kFontSymbolicTrait, bits}});
  auto descriptor = ui::FontDescriptor::withFontAttributes(std::move(attributes));
  if (!descriptor) return nullptr;
  auto result = ui::Font::withDescriptor(*descriptor, font.pointSize(), font.catalog());
  if (!result) return nullptr;
  if (bits && (result->symbolicTraits() & bits) != bits) return nullptr;  // no such face
  return result;
}

}  // namespace NotesFont
