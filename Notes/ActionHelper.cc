#include "Notes/ActionHelper.h"

#include "Notes/NTSettings.h"
#include "Platform/Foundation/FileManager.h"
#include "Platform/Foundation/FileWrapper.h"
#include "Platform/Foundation/StringCase.h"
#include "Platform/Foundation/StringOps.h"
#include "Platform/Foundation/Uuid.h"
#include "Platform/UIKit/AttributedStringDocument.h"

namespace {
constexpr const char* kNotesToImportDirectory = "NotesToImport";
constexpr const char* kPackageExtension = "rtfd";
// A package being deleted after its import.
constexpr const char* kRemovingSuffix = ".imported";
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

bool ActionHelper::saveNoteForImport(const ns::AttributedString& note, ns::Error* error) {
  auto directory = URLForNotesToImport();
  if (!directory) {
    ns::setError(error, ns::Error::withDescription(ns::kCocoaErrorDomain, ns::kFileNoSuchFileError,
                                                   "The shared container of the app group is not available."));
    return false;
  }
  ns::URL url = directory->appendingPathComponent(ns::globallyUniqueString())
                    .appendingPathExtension(kPackageExtension);
  auto package = ui::fileWrapperFromRange(
      note, ns::Range{0, note.length()},
      {{ui::kDocumentTypeDocumentAttribute, ui::kRTFDTextDocumentType}}, error);
  if (!package) return false;
  // A directory that could not be made shows up here as a failed write.
  return package->write(url.path(), ns::kFileWrapperWritingAtomic, {}, error);
}

std::vector<ActionHelper::NoteForImport> ActionHelper::notesForImport() {
  std::vector<NoteForImport> notes;
  auto directory = URLForNotesToImport();
  if (!directory) return notes;
  ns::FileManager& files = ns::FileManager::defaultManager();
  auto entries = files.contentsOfDirectory(*directory, ns::DirectoryListingOptions{.skipsHiddenFiles = true});
  if (!entries) return notes;
  for (const ns::URL& entry : *entries) {
    if (ns::lowercaseString(entry.pathExtension()) != kPackageExtension) continue;
    auto text = ui::attributedStringWithURL(entry, {}, nullptr, nullptr);
    if (!text) continue;  // left for the next activation
    notes.push_back(NoteForImport{entry, std::move(*text)});
  }
  return notes;
}

void ActionHelper::removeImportedNotes(const std::vector<NoteForImport>& notes) {
  ns::FileManager& files = ns::FileManager::defaultManager();
  for (const NoteForImport& note : notes) {
    std::string directory = note.package.deletingLastPathComponent().path();
    std::string removing = directory + "/." + note.package.lastPathComponent() + kRemovingSuffix;
    // One rename takes the package out of every listing at once.
    if (files.moveItem(note.package.path(), removing, nullptr)) files.removeItem(removing, nullptr);
  }
}

void ActionHelper::removeInterruptedRemovals() {
  auto directory = URLForNotesToImport();
  if (!directory) return;
  ns::FileManager& files = ns::FileManager::defaultManager();
  auto entries = files.contentsOfDirectory(directory->path());
  if (!entries) return;
  for (const auto& name : *entries) {
    // Only ours: Jotshare's own hidden names (a package being written) end otherwise.
    if (name.size() > 1 && name[0] == '.' && ns::hasSuffix(name, kRemovingSuffix))
      files.removeItem(directory->path() + "/" + name, nullptr);
  }
}
