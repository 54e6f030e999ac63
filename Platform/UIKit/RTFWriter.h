// Writes rich text as an RTF document: font table (family names; bold and
// italic as \b and \i), sizes in half points (\fs), underline (\ul, \uldb,
// \ulth), strikethrough, a colour table with \cf for the foreground colour,
// paragraph alignment, spacing and indents (line spacing as \slleading in
// twips), and every character outside ASCII as \u with a "?" fallback, so
// the document itself is 7-bit.
//
// Attachments are written inline as \pict PNG/JPEG data, or, for an RTFD
// package, as \NeXTGraphic references to files of the package (collected
// in attachments()).
#pragma once

#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "Platform/Foundation/AttributedString.h"
#include "Platform/UIKit/TextAttachment.h"

namespace ui {

class RTFWriter {
 public:
  enum class Attachments { Inline, PackageFiles };
  explicit RTFWriter(Attachments mode = Attachments::Inline) : mode_(mode) {}

  // The document for `range` of `text` (the range must lie within it).
  std::string write(const ns::AttributedString& text, ns::Range range);

  // PackageFiles mode: the files the last document refers to, by the unique
  // names it uses for them.
  const std::vector<std::pair<std::string, std::shared_ptr<const TextAttachment>>>& attachments()
      const {
    return attachments_;
  }

 private:
  std::string attachmentName(const TextAttachment& attachment);

  Attachments mode_;
  std::vector<std::pair<std::string, std::shared_ptr<const TextAttachment>>> attachments_;
  std::set<std::string> usedNames_;
};

}  // namespace ui
