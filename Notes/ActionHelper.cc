#include "Notes/ActionHelper.h"

#include <algorithm>
#include <cctype>

#include "Notes/NTSettings.h"
#include "Platform/Foundation/FileManager.h"
#include "Platform/Foundation/FileWrapper.h"
#include "Platform/Foundation/Uuid.h"
#include "Platform/UIKit/AttributedStringDocument.h"

namespace {
constexpr const char* kNotesToImportDirectory = "NotesToImport";
constexpr const char* kPackageExtension = "rtfd";

std::string lowercased(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
  return s;
}
}  // namespace

std::optional<ns::URL> ActionHelper::URLForNotesToImport() {
  auto group = NTSettings::groupIdentifier();
  if (!group) return std::nullopt;
  ns::FileManager& files = ns::FileManager::defaultManager();
  auto container = files.containerURLForSecurityApplicationGroupIdentifier(*group);
  if (!container) return std::nullopt;
  ns::URL url = container->appendingPathComponent(kNotesToImportDirectory, true);
  files.createDirectory(url, true, nullptr);
  return url;
}

void ActionHelper::saveNoteForImport(const ns::AttributedString& note) {
  auto directory = URLForNotesToImport();
  if (!directory) return;
  ns::URL url = directory->appendingPathComponent(ns::globallyUniqueString())
                    .appendingPathExtension(kPackageExtension);
  auto package = ui::fileWrapperFromRange(
      note, ns::Range{0, note.length()},
      {{ui::kDocumentTypeDocumentAttribute, ui::kRTFDTextDocumentType}});
  if (!package) return;
  package->write(url.path(), ns::kFileWrapperWritingAtomic, {}, nullptr);
}

std::vector<ns::AttributedString> ActionHelper::notesForImport() {
  std::vector<ns::AttributedString> notes;
  auto directory = URLForNotesToImport();
  if (!directory) return notes;
  ns::FileManager& files = ns::FileManager::defaultManager();
  auto entries = files.contentsOfDirectory(*directory, ns::DirectoryListingOptions{.skipsHiddenFiles = true});
  if (!entries) return notes;
  for (const ns::URL& entry : *entries) {
    if (lowercased(entry.pathExtension()) != kPackageExtension) continue;
    auto note = ui::attributedStringWithURL(entry, {}, nullptr, nullptr);
    if (!note) continue;  // left for the next activation
    notes.push_back(std::move(*note));
    files.removeItem(entry, nullptr);  // errors ignored: it is read again next time
  }
  return notes;
}
