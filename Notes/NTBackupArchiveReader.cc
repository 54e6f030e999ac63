#include "Notes/NTBackupArchiveReader.h"

#include <algorithm>
#include <map>
#include <memory>
#include <vector>

#include "Libraries/Archive/VLZipArchive.h"
#include "Libraries/Archive/VLZipArchiveErrors.h"
#include "Libraries/Archive/VLZipMemoryReader.h"
#include "Libraries/ErrorReport/ErrorReport.h"
#include "Platform/Foundation/AvailableMemory.h"
#include "Platform/Foundation/FileManager.h"
#include "Platform/Foundation/FileWrapper.h"
#include "Platform/Foundation/PropertyList.h"
#include "Platform/Foundation/StringCase.h"
#include "Platform/UIKit/AttributedStringDocument.h"

namespace {

// Two entries per folder and, per note, its property list, its text and
// its attachments: a quarter of a million is a store of some 80,000 notes.
constexpr uint64_t kMaxEntries = 250000;
// One file of a note: its text or one attachment. The largest the app
// writes is a photo, a PNG as wide as the text at the screen's scale (some
// 2,700 pixels on the largest pad) and as tall as the photo is long: a few
// tens of MB at most.
constexpr uint64_t kMaxEntryBytes = 64ull << 20;
constexpr uint64_t kMaxTotalBytes = 4ull << 30;
// Notes deflate by a few times (text, property lists) or not at all
// (photos): what a backup declares may be at most this many times its own
// size, as zip tools judge a bomb, except for a small backup, which may
// hold a short, very repetitive note.
constexpr uint64_t kMaxInflationRatio = 100;
constexpr uint64_t kSmallBackupBytes = 16ull << 20;
// RTFD packages are flat; anything deeper in one is no part of a note.
constexpr size_t kMaxPackageDepth = 8;

bool isHidden(const std::string& name) { return !name.empty() && name.front() == '.'; }

// The file name's extension and the name without it, as paths split them.
std::string extensionOf(const std::string& name) {
  size_t dot = name.rfind('.');
  return dot == std::string::npos || dot == 0 ? std::string() : name.substr(dot + 1);
}
std::string stemOf(const std::string& name) {
  size_t dot = name.rfind('.');
  return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

// A package's files below it, as a tree of names.
struct PackageNode {
  bool isDirectory = false;
  ns::Data contents;
  std::map<std::string, PackageNode> children;

  // A file where a folder is needed, or the reverse, is left as it is:
  // on disk the second of the two could not have been written either.
  void insert(std::vector<std::string>::const_iterator begin, std::vector<std::string>::const_iterator end,
              bool directory, ns::Data data) {
    PackageNode* node = this;
    for (auto it = begin; it != end; ++it) {
      if (!node->isDirectory) return;
      auto [child, added] = node->children.try_emplace(*it);
      if (added) child->second.isDirectory = it + 1 != end || directory;
      node = &child->second;
    }
    if (!node->isDirectory) node->contents = std::move(data);
  }

  ns::FileWrapper wrapper() && {
    if (!isDirectory) return ns::FileWrapper::regularFile(std::move(contents));
    std::map<std::string, ns::FileWrapper> files;
    for (auto& [name, child] : children) files.emplace(name, std::move(child).wrapper());
    return ns::FileWrapper::directory(std::move(files));
  }
};

struct Package {
  PackageNode root;
  std::optional<uint32_t> dosDate;  // of the package's own entry, else of its text
};

struct Folder {
  std::map<std::string, Package> packages;         // by file name
  std::map<std::string, ns::Data> propertyLists;   // the notes' ones, by file name
};

// The backup's layout as its entries name it; entries of no use to it are
// read (and so checked) and dropped.
struct Layout {
  std::map<std::string, Folder> folders;               // by directory name
  std::map<std::string, ns::Data> folderPropertyLists;  // beside them, by file name

  void add(const VLZipMemoryReader::Entry& entry, ns::Data data) {
    const auto& c = entry.components;
    if (c.empty() || isHidden(c[0])) return;
    if (c.size() == 1) {
      if (entry.isDirectory) {
        folders[c[0]];
      } else if (extensionOf(c[0]) == "plist") {
        folderPropertyLists[c[0]] = std::move(data);
      }
      return;
    }
    Folder& folder = folders[c[0]];
    const std::string& name = c[1];
    if (c.size() == 2 && !entry.isDirectory && extensionOf(name) == "plist") {
      folder.propertyLists[name] = std::move(data);
      return;
    }
    if (isHidden(name) || ns::lowercaseString(extensionOf(name)) != "rtfd" || c.size() - 2 > kMaxPackageDepth) return;
    Package& package = folder.packages[name];
    if (c.size() == 2) {
      if (!entry.isDirectory && package.root.children.empty()) {
        package.root.contents = std::move(data);
      } else {
        package.root.isDirectory = true;
      }
      package.dosDate = entry.dosDate;
      return;
    }
    package.root.isDirectory = true;
    if (!package.dosDate && c.size() == 3 && c[2] == ui::kRTFDTextFileName) package.dosDate = entry.dosDate;
    package.root.insert(c.begin() + 2, c.end(), entry.isDirectory, std::move(data));
  }
};

std::optional<ns::Dictionary> dictionaryFrom(const ns::Data* data) {
  if (!data) return std::nullopt;
  auto value = ns::propertyListFromData(*data, nullptr);
  if (!value || !value->isDictionary()) return std::nullopt;
  return *value->asDictionary();
}

// The folder's title: a string "title" only; anything else is unnamed.
std::string folderTitle(const ns::Data* propertyList) {
  auto plist = dictionaryFrom(propertyList);
  const ns::Value* title = plist ? plist->find("title") : nullptr;
  if (title && title->isString()) return *title->asString();
  return "Unnamed Folder";
}

// The note's time stamp: a date "timeStamp" only, else the package's date
// in the archive.
ns::Date noteTimeStamp(const ns::Data* propertyList, const Package& package) {
  auto plist = dictionaryFrom(propertyList);
  const ns::Value* stamp = plist ? plist->find("timeStamp") : nullptr;
  if (stamp && stamp->isDate()) return *stamp->asDate();
  return package.dosDate ? VLZipArchive::dateWithMSDOSFormat(*package.dosDate) : ns::Date::now();
}

template <class Map>
const ns::Data* find(const Map& map, const std::string& key) {
  auto it = map.find(key);
  return it == map.end() ? nullptr : &it->second;
}

}  // namespace

VLZipExtractionLimits NTBackupArchiveReader::limits() {
  uint64_t total = kMaxTotalBytes;
  if (auto available = ns::availableMemory()) total = std::min(total, *available / 4);
  return {total, kMaxEntries, kMaxEntryBytes};
}

std::optional<NTBackupsManager::Folders> NTBackupArchiveReader::read(const std::string& path,
                                                                     const VLZipExtractionLimits& limits,
                                                                     const std::function<void(float)>& progress,
                                                                     ns::Error* error) {
  auto report = [&](float p) {
    if (progress) progress(p);
  };
  VLZipExtractionLimits capped = limits;
  if (auto attributes = ns::FileManager::defaultManager().attributesOfItem(path))
    capped.maxTotalBytes = std::min(capped.maxTotalBytes, std::max(kSmallBackupBytes, kMaxInflationRatio * attributes->size));
  auto reader = VLZipMemoryReader::open(path, capped, error);
  if (!reader) return std::nullopt;
  const auto& entries = reader->entries();
  // Refused at once: a backup holds plain files and folders of its own tree
  // only; a name that climbs out of it was made to do harm, not by a backup.
  for (const auto& entry : entries) {
    const char* unsafe = entry.isSymlink     ? "link"
                         : entry.isEncrypted ? "encrypted entry"
                         : entry.climbsOut   ? "entry named outside its folder"
                                             : nullptr;
    if (unsafe) {
      ns::setError(error, VLZipArchiveError(VLZipArchiveErrorCodeUnsafeEntry,
                                            std::string(unsafe) + " in a backup: \"" + entry.path + "\""));
      return std::nullopt;
    }
  }

  Layout layout;
  for (size_t k = 0; k < entries.size(); ++k) {
    report(0.8f * float(k) / float(entries.size()));
    auto data = reader->read(entries[k], error);
    if (!data) return std::nullopt;
    layout.add(entries[k], std::move(*data));
  }
  reader.reset();

  NTBackupsManager::Folders result;
  const float F = float(layout.folders.size());
  size_t i = 0;
  for (auto& [directory, folder] : layout.folders) {
    auto& notes = result[folderTitle(find(layout.folderPropertyLists, directory + ".plist"))];
    const float N = float(folder.packages.size());
    size_t j = 0;
    for (auto& [name, package] : folder.packages) {
      ns::FileWrapper wrapper = std::move(package.root).wrapper();
      wrapper.setPreferredFilename(name);
      ns::Error textError;
      auto text = ui::attributedStringWithFileWrapper(wrapper, {}, nullptr, &textError);
      if (!text) {
        // Nothing to restore from a package without readable text.
        QB_REPORT(textError);
      } else {
        notes.emplace_back(noteTimeStamp(find(folder.propertyLists, stemOf(name) + ".plist"), package),
                           std::move(*text));
      }
      report(0.8f + 0.2f * (float(i) / F + float(j) / (F * N)));
      ++j;
    }
    ++i;
  }
  return result;
}
