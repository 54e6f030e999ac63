// Uniform type identifiers: the names that say what kind of data an item
// is ("public.rtf"), and the conformance between them (rich text is text,
// a file URL is a URL, everything is an item). Only the types shared items
// come in are declared; an undeclared type conforms to itself alone.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace ext {

inline constexpr const char* kTypeItem = "public.item";
inline constexpr const char* kTypeContent = "public.content";
inline constexpr const char* kTypeData = "public.data";
inline constexpr const char* kTypeText = "public.text";
inline constexpr const char* kTypePlainText = "public.plain-text";
inline constexpr const char* kTypeUTF8PlainText = "public.utf8-plain-text";
inline constexpr const char* kTypeRTF = "public.rtf";
inline constexpr const char* kTypeRTFD = "public.rtfd";
inline constexpr const char* kTypeHTML = "public.html";
inline constexpr const char* kTypeURL = "public.url";
inline constexpr const char* kTypeFileURL = "public.file-url";
inline constexpr const char* kTypeImage = "public.image";
inline constexpr const char* kTypePNG = "public.png";
inline constexpr const char* kTypeJPEG = "public.jpeg";

// Whether `type` is `other` or declared, directly or through its parents,
// to conform to it.
bool typeConformsTo(std::string_view type, std::string_view other);

// The declared type of a file name extension (any case: "rtf", "rtfd",
// "html", "htm", "txt", "text", "png", "jpg", "jpeg"); absent for others.
std::optional<std::string> typeForFilenameExtension(std::string_view extension);

}  // namespace ext
