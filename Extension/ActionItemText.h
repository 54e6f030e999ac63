// Turns a loaded shared item into the note's rich text, in the note
// attributes (font, colour, paragraph style of NTSettings):
// - rich text keeps its colours and paragraphs and takes the note font's
//   family and size, each run keeping its bold and italic;
// - a URL of a local text file (rich text, RTFD, HTML, plain text, by its
//   name) no larger than kMaxSharedFileBytes is read, then takes the note
//   font; any other URL, web addresses included, is never loaded;
// - a string with "<div>", "<p>", "<br>" or "&nbsp;" (in any case) is read
//   as HTML over the note attributes, then takes the note font and the
//   note paragraph style; any other string is plain text, as given;
// - anything else, or a URL or HTML that cannot be read, becomes its
//   description (for a URL its text) in the note attributes.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "Platform/ExtensionHost/ItemProvider.h"
#include "Platform/Foundation/AttributedString.h"

namespace ActionItemText {

// A shared file larger than this (an RTFD package: all its files together)
// is not read: a note is text, and a large file would stall the screen.
inline constexpr size_t kMaxSharedFileBytes = 2 * 1024 * 1024;

ns::AttributedString noteText(const ext::Item& item, const ns::TextAttributes& noteAttributes);

// Whether a shared string is read as HTML (the markers above).
bool looksLikeHTML(const std::string& text);

// The text of a local text file within the limit; absent for anything else.
std::optional<ns::AttributedString> readSharedFile(const ns::URL& url);

}  // namespace ActionItemText
