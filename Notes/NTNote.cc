#include "Notes/NTNote.h"

#include "Notes/NTFolder.h"
#include "Platform/Foundation/Bundle.h"
#include "Platform/Foundation/StringLines.h"
#include "Platform/Foundation/StringOps.h"
#include "Platform/Foundation/StringUtf16.h"

namespace {

std::optional<std::string> optionalString(const ns::Value& v) {
  if (!v.isString()) return std::nullopt;
  return v.stringValue();
}

std::optional<ns::Date> optionalDate(const ns::Value& v) {
  if (!v.isDate()) return std::nullopt;
  return *v.asDate();
}

}  // namespace

std::string NTNote::titleFromNoteText(const ns::AttributedString* text) {
  std::string trimmed = text ? ns::trimmingWhitespaceAndNewlines(text->string()) : std::string();
  if (trimmed.empty()) return ns::Bundle::mainBundle()->localizedString("New Note", "", "");
  std::u16string units = ns::toUtf16(trimmed);
  ns::Range line = ns::lineRangeForRange(std::u16string_view(units), ns::Range{0, 0});
  std::u16string_view first = std::u16string_view(units).substr(line.location, line.length);
  // Cut at the last whole character, so no surrogate pair or emoji
  // sequence is split.
  if (first.size() > kMaxTitleLength) return ns::truncatedToUtf16Length(ns::toUtf8(first), kMaxTitleLength);
  return ns::toUtf8(first);
}

std::optional<ns::AttributedString> NTNote::text() const {
  std::any object = transformable("attributedString");
  if (const auto* text = std::any_cast<ns::AttributedString>(&object)) return *text;
  return std::nullopt;
}

void NTNote::setText(const ns::AttributedString* text) { setText(text, ns::Date::now()); }

void NTNote::setText(const ns::AttributedString* text, std::optional<ns::Date> timeStamp) {
  if (timeStamp) setTimeStamp(timeStamp);
  setTransformable("attributedString", text ? std::any(*text) : std::any());
  setValue("string", text ? ns::Value(text->string()) : ns::Value());
  setValue("title", ns::Value(titleFromNoteText(text)));
}

std::optional<ns::Date> NTNote::timeStamp() const { return optionalDate(value("timeStamp")); }

void NTNote::setTimeStamp(std::optional<ns::Date> date) {
  setValue("timeStamp", date ? ns::Value(*date) : ns::Value());
}

std::optional<std::string> NTNote::string() const { return optionalString(value("string")); }

std::optional<std::string> NTNote::title() const { return optionalString(value("title")); }

int32_t NTNote::displayOrder() const { return static_cast<int32_t>(value("displayOrder").integerValue()); }

void NTNote::setDisplayOrder(int32_t order) { setValue("displayOrder", ns::Value(order)); }

std::optional<ns::Date> NTNote::reminderDate() const { return optionalDate(value("reminderDate")); }

void NTNote::setReminderDate(std::optional<ns::Date> date) {
  setValue("reminderDate", date ? ns::Value(*date) : ns::Value());
}

std::optional<std::string> NTNote::importedPackage() const { return optionalString(value("importedPackage")); }

void NTNote::setImportedPackage(const std::optional<std::string>& name) {
  setValue("importedPackage", name ? ns::Value(*name) : ns::Value());
}

std::shared_ptr<NTFolder> NTNote::folder() const { return objectAs<NTFolder>("folder"); }

void NTNote::setFolder(const std::shared_ptr<NTFolder>& folder) { setObject("folder", folder); }
