#include "Notes/NotesAttributedString.h"

#include "Notes/NotesFont.h"
#include "Platform/UIKit/Font.h"

namespace NotesAttributedString {

ns::AttributedString attributedStringByChangingAttribute(const ns::AttributedString& text,
                                                         const std::string& name,
                                                         const ns::AttributeValue& value) {
  ns::AttributedString copy = text;
  copy.beginEditing();
  bool isFont = name == ns::kFontAttributeName;
  auto newFont = value.as<ui::Font>();
  copy.enumerateAttribute(name, ns::Range{0, copy.length()}, 0,
                          [&](const ns::AttributeValue&, ns::Range run, bool*) {
    if (!isFont) {
      copy.removeAttribute(name, run);
      if (!value.isNil()) copy.addAttribute(name, value, run);
      return;
    }
    auto current = copy.attributeAtIndex(name, run.location, nullptr, run).as<ui::Font>();
    uint32_t traits = current ? current->symbolicTraits() : 0;
    auto replacement = newFont ? NotesFont::fontWithTraits(*newFont, traits) : nullptr;
    if (!replacement) return;  // the new family lacks the face: the old font stays
    copy.removeAttribute(name, run);
    copy.addAttribute(name, replacement, run);
  });
  copy.endEditing();
  return copy;
}

}  // namespace NotesAttributedString
