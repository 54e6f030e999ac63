#include "Extension/ActionItemText.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <system_error>

#include "Notes/NotesAttributedString.h"
#include "Platform/ExtensionHost/TypeIdentifier.h"
#include "Platform/Foundation/StringCase.h"
#include "Platform/UIKit/AttributedStringDocument.h"
#include "Platform/UIKit/HTMLReader.h"

namespace ActionItemText {

namespace {

ns::AttributeValue attributeOf(const ns::TextAttributes& attributes, const char* name) {
  auto it = attributes.find(name);
  return it == attributes.end() ? ns::AttributeValue() : it->second;
}

ns::AttributedString inNoteFont(const ns::AttributedString& text, const ns::TextAttributes& noteAttributes) {
  return NotesAttributedString::attributedStringByChangingAttribute(
      text, ns::kFontAttributeName, attributeOf(noteAttributes, ns::kFontAttributeName));
}

// The whole regular file, or nothing when it is not one or is too large.
// Opened without blocking, so a pipe or a device shared by name is refused
// rather than waited on.
std::optional<ns::Data> readSmallRegularFile(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  struct stat st {};
  std::optional<ns::Data> data;
  if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && static_cast<size_t>(st.st_size) <= kMaxSharedFileBytes) {
    ns::Data bytes;
    uint8_t buffer[65536];
    bool failed = false;
    while (true) {
      ssize_t n = ::read(fd, buffer, sizeof buffer);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) failed = true;
      if (n <= 0) break;
      bytes.insert(bytes.end(), buffer, buffer + n);
      if (bytes.size() > kMaxSharedFileBytes) {  // it grew meanwhile
        failed = true;
        break;
      }
    }
    if (!failed) data = std::move(bytes);
  }
  ::close(fd);
  return data;
}

// Whether a package's regular files add up to no more than the limit; a
// link or anything but files and folders inside refuses it.
bool isSmallPackage(const std::filesystem::path& package) {
  std::error_code ec;
  if (!std::filesystem::is_directory(std::filesystem::symlink_status(package, ec))) return false;
  size_t total = 0;
  for (auto it = std::filesystem::recursive_directory_iterator(package, ec);
       !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
    auto status = it->symlink_status(ec);
    if (ec) return false;
    if (std::filesystem::is_directory(status)) continue;
    if (!std::filesystem::is_regular_file(status)) return false;
    total += it->file_size(ec);
    if (ec || total > kMaxSharedFileBytes) return false;
  }
  return !ec;
}

ns::Data utf16WithByteOrderMark(const std::u16string& text) {
  ns::Data data{0xFF, 0xFE};
  for (char16_t c : text) {
    data.push_back(static_cast<uint8_t>(c & 0xFF));
    data.push_back(static_cast<uint8_t>(c >> 8));
  }
  return data;
}

std::optional<ns::AttributedString> readHTML(const std::string& text, const ns::TextAttributes& noteAttributes) {
  auto read = ui::HTMLReader().read(utf16WithByteOrderMark(ns::AttributedString(text).utf16()), noteAttributes);
  if (!read) return std::nullopt;
  ns::AttributedString html = inNoteFont(*read, noteAttributes);
  return NotesAttributedString::attributedStringByChangingAttribute(
      html, ns::kParagraphStyleAttributeName, attributeOf(noteAttributes, ns::kParagraphStyleAttributeName));
}

}  // namespace

bool looksLikeHTML(const std::string& text) {
  std::string lower = ns::lowercaseString(text);
  for (const char* marker : {"<div>", "<p>", "<br>", "&nbsp;"})
    if (lower.find(marker) != std::string::npos) return true;
  return false;
}

std::optional<ns::AttributedString> readSharedFile(const ns::URL& url) {
  if (!url.isFileURL()) return std::nullopt;
  auto type = ext::typeForFilenameExtension(url.pathExtension());
  if (!type) return std::nullopt;
  if (*type == ext::kTypeRTFD) {
    if (!isSmallPackage(url.path())) return std::nullopt;
    return ui::attributedStringWithURL(url, {{ui::kDocumentTypeDocumentAttribute, ui::kRTFDTextDocumentType}},
                                       nullptr);
  }
  const char* documentType = *type == ext::kTypeRTF         ? ui::kRTFTextDocumentType
                             : *type == ext::kTypeHTML      ? ui::kHTMLTextDocumentType
                             : *type == ext::kTypePlainText ? ui::kPlainTextDocumentType
                                                            : nullptr;
  if (!documentType) return std::nullopt;
  auto data = readSmallRegularFile(url.path());
  if (!data) return std::nullopt;
  return ui::attributedStringWithData(*data, {{ui::kDocumentTypeDocumentAttribute, documentType}}, nullptr);
}

ns::AttributedString noteText(const ext::Item& item, const ns::TextAttributes& noteAttributes) {
  std::optional<ns::AttributedString> result;
  if (auto* rich = std::get_if<ns::AttributedString>(&item)) {
    result = inNoteFont(*rich, noteAttributes);
  } else if (auto* url = std::get_if<ns::URL>(&item)) {
    if (auto read = readSharedFile(*url)) result = inNoteFont(*read, noteAttributes);
  } else if (auto* string = std::get_if<std::string>(&item)) {
    result = looksLikeHTML(*string) ? readHTML(*string, noteAttributes)
                                    : ns::AttributedString(*string, noteAttributes);
  }
  if (!result) result = ns::AttributedString(ext::itemDescription(item), noteAttributes);
  return *result;
}

}  // namespace ActionItemText
