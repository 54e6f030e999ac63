#include "Platform/ExtensionHost/TypeIdentifier.h"

#include <map>
#include <vector>

#include "Platform/Foundation/StringCase.h"

namespace ext {

namespace {

// Each declared type with the types it conforms to directly.
const std::map<std::string_view, std::vector<std::string_view>>& parents() {
  static const std::map<std::string_view, std::vector<std::string_view>> table{
      {kTypeItem, {}},
      {kTypeContent, {kTypeItem}},
      {kTypeData, {kTypeItem}},
      {kTypeText, {kTypeData, kTypeContent}},
      {kTypePlainText, {kTypeText}},
      {kTypeUTF8PlainText, {kTypePlainText}},
      {kTypeRTF, {kTypeText}},
      {kTypeRTFD, {kTypeContent}},  // a package, not one piece of data
      {kTypeHTML, {kTypeText}},
      {kTypeURL, {kTypeData}},
      {kTypeFileURL, {kTypeURL}},
      {kTypeImage, {kTypeData, kTypeContent}},
      {kTypePNG, {kTypeImage}},
      {kTypeJPEG, {kTypeImage}},
  };
  return table;
}

}  // namespace

bool typeConformsTo(std::string_view type, std::string_view other) {
  if (type == other) return true;
  auto it = parents().find(type);
  if (it == parents().end()) return false;
  for (std::string_view parent : it->second)
    if (typeConformsTo(parent, other)) return true;
  return false;
}

std::optional<std::string> typeForFilenameExtension(std::string_view extension) {
  static const std::map<std::string, const char*, std::less<>> byExtension{
      {"rtf", kTypeRTF},   {"rtfd", kTypeRTFD},      {"html", kTypeHTML}, {"htm", kTypeHTML},
      {"txt", kTypePlainText}, {"text", kTypePlainText}, {"png", kTypePNG},
      {"jpg", kTypeJPEG},  {"jpeg", kTypeJPEG}};
  auto it = byExtension.find(ns::lowercaseString(std::string(extension)));
  if (it == byExtension.end()) return std::nullopt;
  return it->second;
}

}  // namespace ext
