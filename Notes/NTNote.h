// One note of the store (entity "Note"). Its text is rich text; the plain
// string and the title are derived from it whenever the text is set.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "Platform/CoreData/ManagedObject.h"
#include "Platform/Foundation/AttributedString.h"
#include "Platform/Foundation/Date.h"

class NTFolder;

class NTNote : public cd::ManagedObject {
 public:
  static constexpr const char* kEntityName = "Note";
  // Titles longer than this (UTF-16 units) are cut.
  static constexpr size_t kMaxTitleLength = 60;

  // The first line of the trimmed text, at most 60 UTF-16 units and never
  // ending inside a character; the localized "New Note" for a text that
  // is empty or only white space (or nil).
  static std::string titleFromNoteText(const ns::AttributedString* text);

  // The rich text; nil when none was set.
  std::optional<ns::AttributedString> text() const;
  // setText(text, now).
  void setText(const ns::AttributedString* text);
  // Sets the text, its plain string and the title; stamps `timeStamp`
  // unless it is nil (the old stamp stays then).
  void setText(const ns::AttributedString* text, std::optional<ns::Date> timeStamp);

  std::optional<ns::Date> timeStamp() const;
  void setTimeStamp(std::optional<ns::Date> date);
  std::optional<std::string> string() const;
  std::optional<std::string> title() const;
  int32_t displayOrder() const;
  void setDisplayOrder(int32_t order);
  std::optional<ns::Date> reminderDate() const;
  void setReminderDate(std::optional<ns::Date> date);
  // The hand-over package the note was made from (its file name), saved
  // with the note so that a package is never imported twice; nil for a
  // note written in the app or restored from a backup.
  std::optional<std::string> importedPackage() const;
  void setImportedPackage(const std::optional<std::string>& name);

  std::shared_ptr<NTFolder> folder() const;
  void setFolder(const std::shared_ptr<NTFolder>& folder);
};
