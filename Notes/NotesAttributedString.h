// Rich-text operations of the notes code (the attributed-string category of
// Quillbox and Jotshare): one attribute replaced over a whole text, fonts
// keeping their bold and italic traits.
#pragma once

#include <string>

#include "Platform/Foundation/AttributedString.h"

namespace NotesAttributedString {

// A copy of `text` in which attribute `name` is `value` everywhere; a nil
// value removes it. For the font attribute each run gets `value`'s family
// and size with the run's own bold and italic traits (a run without a font
// gets the regular face); a run whose traits the family lacks keeps its old
// font. `text` itself is not changed.
ns::AttributedString attributedStringByChangingAttribute(const ns::AttributedString& text,
                                                         const std::string& name,
                                                         const ns::AttributeValue& value);

}  // namespace NotesAttributedString
