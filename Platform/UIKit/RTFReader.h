// Reads an RTF document into rich text: the text (code pages through ICU,
// \u with its fallbacks skipped), fonts from the font table with \b, \i and
// \fs, underline, strikethrough, foreground colours from the colour table,
// paragraph alignment, spacing and indents, and attachments (inline \pict
// PNG/JPEG data, or \NeXTGraphic files of an RTFD package). Everything else
// that other programs write (style sheets, document info, unknown control
// words and \* groups) is skipped.
//
// Malformed input never crashes: a document that does not start like RTF is
// an error; a damaged or truncated one gives the text that could be read.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "Platform/Foundation/AttributedString.h"
#include "Platform/Foundation/Error.h"
#include "Platform/UIKit/FontCatalog.h"
#include "Platform/UIKit/TextAttachment.h"

namespace ui {

class RTFReader {
 public:
  // Finds the file of a \NeXTGraphic reference; null when there is none.
  using AttachmentLookup =
      std::function<std::shared_ptr<const TextAttachment>(const std::string& name)>;

  explicit RTFReader(const FontCatalog& catalog = FontCatalog::shared()) : catalog_(catalog) {}
  void setAttachmentLookup(AttachmentLookup lookup) { lookup_ = std::move(lookup); }

  // The text of `document`; absent with a Cocoa error 259 (not in the
  // correct format) when it is not RTF.
  std::optional<ns::AttributedString> read(std::string_view document, ns::Error* error = nullptr);

  // Whether `data` starts like an RTF document.
  static bool looksLikeRTF(std::string_view data);

 private:
  const FontCatalog& catalog_;
  AttachmentLookup lookup_;
};

}  // namespace ui
