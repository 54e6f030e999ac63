// NTBackupsManager::openBackup: reads an archive into folders of notes.
#include <algorithm>

#include "Libraries/Archive/VLZipArchive.h"
#include "Libraries/ErrorReport/ErrorReport.h"
#include "Notes/NTBackupsManager.h"
#include "Platform/Dispatch/Queue.h"
#include "Platform/Foundation/FileManager.h"
#include "Platform/Foundation/PropertyList.h"
#include "Platform/Foundation/Uuid.h"
#include "Notes/NTBackupTask.h"
#include "Platform/UIKit/AttributedStringDocument.h"

namespace {

std::string lowercased(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
  return s;
}

// The folder's title: a string "title" only; anything else is unnamed.
std::string folderTitle(const std::string& plistPath) {
  auto plist = ns::readDictionaryFile(plistPath);
  const ns::Value* title = plist ? plist->find("title") : nullptr;
  if (title && title->isString()) return *title->asString();
  return "Unnamed Folder";
}

// The note's time stamp: a date "timeStamp" only, else the package's date.
ns::Date noteTimeStamp(const std::string& plistPath, const std::string& packagePath) {
  auto plist = ns::readDictionaryFile(plistPath);
  const ns::Value* stamp = plist ? plist->find("timeStamp") : nullptr;
  if (stamp && stamp->isDate()) return *stamp->asDate();
  auto attributes = ns::FileManager::defaultManager().attributesOfItem(packagePath);
  return attributes ? attributes->modificationDate : ns::Date::now();
}

void readBackup(const NTBackup& backup, const NTBackupsManager::OpenProgressBlock& progress) {
  auto report = [&](float p) {
    if (progress) progress(p, nullptr, nullptr);
  };
  // The final call with an error reported where it arose.
  auto fail = [&](const ns::Error& error) {
    if (progress) progress(1.0f, nullptr, &error);
  };
  auto& fm = ns::FileManager::defaultManager();
  report(0.0f);
  if (!fm.fileExists(backup.URL().path())) return fail(QB_REPORT("Backup file not found."));

  std::string temporary = fm.temporaryDirectory().appendingPathComponent(ns::globallyUniqueString()).path();
  ns::Error error;
  if (!fm.createDirectory(temporary, true, &error)) QB_REPORT(error);

  bool extracted = false;
  VLZipArchive::unzipFileAtPath(
      backup.URL().path(), temporary, true, true, std::nullopt, nullptr, nullptr,
      [&](const std::string&, const unz_file_info64&, long entryNumber, long total) {
        if (total > 0) report(0.8f * float(entryNumber) / float(total));
      },
      [&](const std::optional<std::string>&, bool succeeded, const std::optional<ns::Error>& zipError) {
        extracted = succeeded && !(zipError && !zipError->domain().empty());
      });
  if (!extracted) {
    // Nothing of a damaged archive is worth keeping.
    fm.removeItem(temporary);
    return fail(QB_REPORT("File doesn't seem to be a backup file."));
  }

  ns::DirectoryListingOptions skipHidden;
  skipHidden.skipsHiddenFiles = true;
  auto top = fm.contentsOfDirectory(ns::URL::fileURLWithPath(temporary), skipHidden, &error);
  if (!top) QB_REPORT(error);
  std::vector<ns::URL> folders;
  for (const auto& url : top.value_or(std::vector<ns::URL>{})) {
    bool isDirectory = false;
    if (fm.fileExists(url.path(), &isDirectory) && isDirectory) folders.push_back(url);
  }

  NTBackupsManager::Folders result;
  const float F = float(folders.size());
  for (size_t i = 0; i < folders.size(); ++i) {
    const ns::URL& folder = folders[i];
    std::string title = folderTitle(folder.path() + ".plist");
    ns::Error listError;
    auto entries = fm.contentsOfDirectory(folder, skipHidden, &listError);
    if (!entries) QB_REPORT(listError);
    std::vector<ns::URL> packages;
    for (const auto& url : entries.value_or(std::vector<ns::URL>{})) {
      if (lowercased(url.pathExtension()) == "rtfd") packages.push_back(url);
    }
    auto& notes = result[title];
    const float N = float(packages.size());
    for (size_t j = 0; j < packages.size(); ++j) {
      const ns::URL& package = packages[j];
      ns::Error textError;
      auto text = ui::attributedStringWithURL(package, {}, nullptr, &textError);
      if (!text) {
        // Nothing to restore from a package without readable text.
        QB_REPORT(textError);
      } else {
        std::string plistPath = package.deletingPathExtension().appendingPathExtension("plist").path();
        notes.emplace_back(noteTimeStamp(plistPath, package.path()), std::move(*text));
      }
      report(0.8f + 0.2f * (float(i) / F + float(j) / (F * N)));
    }
  }
  ns::Error removeError;
  if (!fm.removeItem(temporary, &removeError)) QB_REPORT(removeError);
  if (progress) progress(1.0f, &result, nullptr);
}

}  // namespace

void NTBackupsManager::openBackup(const NTBackup& backup, OpenProgressBlock progressBlock) {
  auto task = NTBackupTask::begin("Open Backup");
  dispatch::Queue::global()->async([backup, progressBlock = std::move(progressBlock), task] {
    readBackup(backup, progressBlock);
    task->end();
  });
}
