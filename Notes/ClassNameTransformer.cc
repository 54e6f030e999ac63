#include "Notes/ClassNameTransformer.h"

#include <memory>

#include "Libraries/ErrorReport/ErrorReport.h"
#include "Notes/NoteTextArchive.h"
#include "Platform/Foundation/AttributedString.h"
#include "Platform/Foundation/KeyedUnarchiver.h"

const std::vector<std::string>& ClassNameTransformer::allowedClasses() {
  static const std::vector<std::string> classes = {"NSAttributedString", "NSTextAttachment",  "NSTextTab",
                                                   "NSShadow",           "NSFileWrapper",     "NSMutableCharacterSet"};
  return classes;
}

void ClassNameTransformer::registerTransformer() {
  NoteTextArchive::registerClasses();
  cd::ValueTransformer::setValueTransformer(std::make_shared<ClassNameTransformer>(), kName);
}

std::any ClassNameTransformer::transformedValue(const std::any& value) const {
  if (!value.has_value()) return {};
  const auto* text = std::any_cast<ns::AttributedString>(&value);
  if (!text) {
    QB_REPORT("Value to archive is not rich text");
    return {};
  }
  ns::Error error;
  std::optional<ns::Data> data = NoteTextArchive::archivedData(*text, true, &error);
  if (!data) {
    QB_REPORT(error);
    return {};
  }
  return *data;
}

std::any ClassNameTransformer::reverseTransformedValue(const std::any& value) const {
  if (!value.has_value()) return {};
  const auto* data = std::any_cast<ns::Data>(&value);
  if (!data) return {};
  NoteTextArchive::registerClasses();
  try {
    ns::Error error;
    ns::KeyedArchiveObject object = ns::KeyedUnarchiver::unarchivedObjectOfClasses(allowedClasses(), *data, &error);
    if (auto text = NoteTextArchive::attributedString(object)) return *text;
    if (!error.domain().empty()) QB_REPORT(error);
  } catch (const ns::Exception& exception) {
    QB_REPORT(exception);
  }
  try {
    ns::Error legacyError;
    ns::KeyedArchiveObject object = ns::KeyedUnarchiver::unarchiveObjectWithData(*data, &legacyError);
    if (auto text = NoteTextArchive::attributedString(object)) return *text;
  } catch (const ns::Exception& exception) {
    QB_REPORT(exception);
  }
  return {};
}
