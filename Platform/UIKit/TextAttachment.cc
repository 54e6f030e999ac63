#include "Platform/UIKit/TextAttachment.h"

#include <algorithm>
#include <cctype>

namespace ui {

namespace {

uint32_t bigEndian32(const ns::Data& d, size_t at) {
  return (uint32_t(d[at]) << 24) | (uint32_t(d[at + 1]) << 16) | (uint32_t(d[at + 2]) << 8) |
         uint32_t(d[at + 3]);
}

std::optional<std::pair<int, int>> pngSize(const ns::Data& d) {
  static const uint8_t signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  if (d.size() < 24 || !std::equal(signature, signature + 8, d.begin())) return std::nullopt;
  if (!std::equal(d.begin() + 12, d.begin() + 16, "IHDR")) return std::nullopt;
  uint32_t w = bigEndian32(d, 16), h = bigEndian32(d, 20);
  if (w == 0 || h == 0 || w > 1u << 20 || h > 1u << 20) return std::nullopt;
  return std::make_pair(int(w), int(h));
}

std::optional<std::pair<int, int>> jpegSize(const ns::Data& d) {
  if (d.size() < 4 || d[0] != 0xFF || d[1] != 0xD8) return std::nullopt;
  size_t at = 2;
  while (at + 9 < d.size()) {
    if (d[at] != 0xFF) return std::nullopt;
    uint8_t marker = d[at + 1];
    size_t length = (size_t(d[at + 2]) << 8) | d[at + 3];
    bool startOfFrame = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 &&
                        marker != 0xCC;
    if (startOfFrame) {
      int h = (d[at + 5] << 8) | d[at + 6], w = (d[at + 7] << 8) | d[at + 8];
      if (w == 0 || h == 0) return std::nullopt;
      return std::make_pair(w, h);
    }
    if (length < 2) return std::nullopt;
    at += 2 + length;
  }
  return std::nullopt;
}

std::string extensionForType(const std::string& type) {
  if (type == kPNGFileType) return ".png";
  if (type == kJPEGFileType) return ".jpeg";
  return "";
}

}  // namespace

TextAttachment::TextAttachment(ns::Data contents, std::string fileType,
                               std::string preferredFilename)
    : contents_(std::move(contents)),
      fileType_(std::move(fileType)),
      preferredFilename_(std::move(preferredFilename)) {
  if (preferredFilename_.empty()) preferredFilename_ = "Attachment" + extensionForType(fileType_);
}

std::shared_ptr<const TextAttachment> TextAttachment::withPNG(ns::Data png) {
  return std::make_shared<const TextAttachment>(std::move(png), kPNGFileType);
}

std::optional<std::pair<int, int>> TextAttachment::imageSize() const {
  if (auto size = pngSize(contents_)) return size;
  return jpegSize(contents_);
}

bool TextAttachment::isEqual(const ns::AttributeObject& other) const {
  auto* a = dynamic_cast<const TextAttachment*>(&other);
  return a && a->fileType_ == fileType_ && a->contents_ == contents_;
}

size_t TextAttachment::hash() const {
  size_t h = contents_.size();
  for (size_t i = 0; i < contents_.size() && i < 64; ++i) h = h * 131 + contents_[i];
  return h;
}

std::string TextAttachment::description() const {
  return "TextAttachment " + fileType_ + " " + std::to_string(contents_.size()) + " bytes";
}

std::string fileTypeForFilename(const std::string& filename) {
  std::string extension;
  if (size_t dot = filename.rfind('.'); dot != std::string::npos) extension = filename.substr(dot + 1);
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return std::tolower(c); });
  if (extension == "png") return kPNGFileType;
  if (extension == "jpg" || extension == "jpeg") return kJPEGFileType;
  return "public.data";
}

}  // namespace ui
