#include "Platform/UIKit/FontDescriptor.h"

namespace ui {

namespace {
std::optional<std::string> stringAttribute(const ns::Dictionary& attributes, const char* key) {
  const ns::Value* value = attributes.find(key);
  if (!value || !value->isString()) return std::nullopt;
  return *value->asString();
}
}  // namespace

std::optional<FontDescriptor> FontDescriptor::withFontAttributes(ns::Dictionary attributes) {
  for (const char* key : {kFontFamilyAttribute, kFontNameAttribute, kFontFaceAttribute}) {
    const ns::Value* value = attributes.find(key);
    if (value && !value->isString()) return std::nullopt;
  }
  if (const ns::Value* size = attributes.find(kFontSizeAttribute); size && !size->isNumber())
    return std::nullopt;
  if (const ns::Value* traits = attributes.find(kFontTraitsAttribute)) {
    if (!traits->isDictionary()) return std::nullopt;
    const ns::Value* symbolic = traits->find(kFontSymbolicTrait);
    if (symbolic && !symbolic->isNumber()) return std::nullopt;
  }
  FontDescriptor descriptor;
  descriptor.attributes_ = std::move(attributes);
  return descriptor;
}

std::optional<std::string> FontDescriptor::familyName() const {
  return stringAttribute(attributes_, kFontFamilyAttribute);
}
std::optional<std::string> FontDescriptor::fontName() const {
  return stringAttribute(attributes_, kFontNameAttribute);
}
std::optional<std::string> FontDescriptor::faceName() const {
  return stringAttribute(attributes_, kFontFaceAttribute);
}

double FontDescriptor::pointSize() const {
  const ns::Value* size = attributes_.find(kFontSizeAttribute);
  return size ? size->doubleValue() : 0.0;
}

uint32_t FontDescriptor::symbolicTraits() const {
  const ns::Value* traits = attributes_.find(kFontTraitsAttribute);
  const ns::Value* symbolic = traits ? traits->find(kFontSymbolicTrait) : nullptr;
  return symbolic ? static_cast<uint32_t>(symbolic->unsignedValue()) : 0;
}

FontDescriptor FontDescriptor::withSymbolicTraits(uint32_t traits) const {
  FontDescriptor copy = *this;
  copy.attributes_.set(kFontTraitsAttribute,
                       ns::Value(ns::Dictionary{{kFontSymbolicTrait, ns::Value(traits)}}));
  return copy;
}

}  // namespace ui
