// An attachment in rich text, such as a photo inserted into a note: the
// file's contents (PNG for photos), its type and the name it takes inside an
// RTFD package. It stands at a U+FFFC character. Two attachments are equal
// when their contents and types are.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "Platform/Foundation/AttributeValue.h"
#include "Platform/Foundation/Value.h"

namespace ui {

inline constexpr const char* kPNGFileType = "public.png";
inline constexpr const char* kJPEGFileType = "public.jpeg";

class TextAttachment : public ns::AttributeObject {
 public:
  TextAttachment(ns::Data contents, std::string fileType, std::string preferredFilename = {});
  // A PNG image, named "Attachment.png" in a package.
  static std::shared_ptr<const TextAttachment> withPNG(ns::Data png);

  const ns::Data& contents() const { return contents_; }
  const std::string& fileType() const { return fileType_; }
  // The name it takes in a package ("Attachment" with the type's extension
  // when none was given).
  const std::string& preferredFilename() const { return preferredFilename_; }
  // Width and height in pixels, read from a PNG or JPEG header; absent for
  // other contents.
  std::optional<std::pair<int, int>> imageSize() const;

  bool isEqual(const ns::AttributeObject& other) const override;
  size_t hash() const override;
  std::string description() const override;

 private:
  ns::Data contents_;
  std::string fileType_;
  std::string preferredFilename_;
};

// The file type for a file name's extension (png, jpg/jpeg; others "public.data").
std::string fileTypeForFilename(const std::string& filename);

}  // namespace ui
