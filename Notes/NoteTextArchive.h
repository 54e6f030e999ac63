// Rich text of a note as a keyed archive: the text and its attribute runs,
// with the attribute objects a note can hold (fonts, colours, paragraph
// styles, attachments with their file wrappers) as coding classes.
//
// Attribute objects of any other kind are left out when archiving, so an
// unknown decoration never costs the text itself.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "Platform/Foundation/AttributedString.h"
#include "Platform/Foundation/Error.h"
#include "Platform/Foundation/KeyedArchiveObject.h"
#include "Platform/Foundation/Value.h"

namespace NoteTextArchive {

// Archived class names of rich text and its parts.
inline constexpr const char* kAttributedStringClass = "NSAttributedString";
inline constexpr const char* kMutableAttributedStringClass = "NSMutableAttributedString";
inline constexpr const char* kFontClass = "UIFont";
inline constexpr const char* kColorClass = "UIColor";
inline constexpr const char* kParagraphStyleClass = "NSParagraphStyle";
inline constexpr const char* kMutableParagraphStyleClass = "NSMutableParagraphStyle";
inline constexpr const char* kTextAttachmentClass = "NSTextAttachment";
inline constexpr const char* kFileWrapperClass = "NSFileWrapper";

// Registers the classes with the keyed-archive registry; safe to call
// often and from any thread.
void registerClasses();

// The archive of `text` under the root key.
std::optional<ns::Data> archivedData(const ns::AttributedString& text, bool requiresSecureCoding,
                                     ns::Error* error);

// The text inside a decoded root object, or nullopt when it holds none.
std::optional<ns::AttributedString> attributedString(const ns::KeyedArchiveObject& object);

}  // namespace NoteTextArchive
