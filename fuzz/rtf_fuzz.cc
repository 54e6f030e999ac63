// Rich text from outside (a note's RTF or RTFD package in a backup, text
// shared into the app): reading never crashes, and what is read writes as
// RTF that reads back as the same text, paragraph ends all as newlines.
#include <algorithm>
#include <cstdlib>

#include "Platform/UIKit/AttributedStringDocument.h"

namespace {

// Every paragraph end (return, paragraph separator) is written as one and
// reads as a newline.
std::u16string paragraphsAsNewlines(std::u16string text) {
  std::replace_if(text.begin(), text.end(), [](char16_t c) { return c == u'\r' || c == 0x2029; }, u'\n');
  return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ns::Data bytes(data, data + size);
  const ns::Dictionary asRTF{{ui::kDocumentTypeDocumentAttribute, ns::Value(ui::kRTFTextDocumentType)}};
  auto text = ui::attributedStringWithData(bytes, asRTF, nullptr, nullptr);

  // The same bytes as a package's text, beside an attachment it may name.
  std::map<std::string, ns::FileWrapper> files;
  files.emplace(ui::kRTFDTextFileName, ns::FileWrapper::regularFile(bytes));
  files.emplace("Attachment.png", ns::FileWrapper::regularFile(ns::Data(bytes.begin(), bytes.begin() + size / 2)));
  ui::attributedStringWithFileWrapper(ns::FileWrapper::directory(std::move(files)), {}, nullptr, nullptr);

  if (!text) return 0;
  auto written = ui::dataFromRange(*text, ns::Range{0, text->length()}, asRTF, nullptr);
  if (!written) std::abort();
  auto again = ui::attributedStringWithData(*written, asRTF, nullptr, nullptr);
  if (!again || again->utf16() != paragraphsAsNewlines(text->utf16())) std::abort();
  return 0;
}
