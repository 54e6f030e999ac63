// Reads an HTML document into rich text, as far as a note needs it: the
// text with white space collapsed as a browser shows it, one line break
// between blocks (paragraph, division, heading, list item, table row) and
// one for each <br>, a bullet before list items, bold (b, strong, th,
// headings), italic (i, em, cite, var, dfn), underline (u, ins) and
// strikethrough (s, strike, del) from their tags, links from <a href>, and
// entities decoded. Everything that would load something (images, style
// sheets, scripts, frames) is dropped unread: reading never touches the
// network or another file. Markup the parser cannot make sense of is read
// as far as it goes.
//
// The text takes `defaultAttributes` (font, colour, paragraph style) where
// the markup does not change them; without a font, the document font
// (kDefaultDocumentFontFamily, 12 points).
//
// Encodings: UTF-16 or UTF-8 by their byte-order mark, else UTF-8 when the
// bytes are valid UTF-8, else Windows-1252.
#pragma once

#include <optional>
#include <string_view>

#include "Platform/Foundation/AttributedString.h"
#include "Platform/Foundation/Error.h"
#include "Platform/Foundation/Value.h"
#include "Platform/UIKit/FontCatalog.h"

namespace ui {

class HTMLReader {
 public:
  explicit HTMLReader(const FontCatalog& catalog = FontCatalog::shared()) : catalog_(catalog) {}

  // The document's text; absent with a Cocoa error 259 (not in the correct
  // format) when the parser finds no document at all (empty input).
  std::optional<ns::AttributedString> read(const ns::Data& document, const ns::TextAttributes& defaultAttributes,
                                           ns::Error* error = nullptr) const;

  // Whether `data` starts (after a byte-order mark and white space) like an
  // HTML document: "<!DOCTYPE html" or "<html", in any case.
  static bool looksLikeHTML(std::string_view data);

 private:
  const FontCatalog& catalog_;
};

}  // namespace ui
