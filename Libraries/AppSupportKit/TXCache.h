// The kit's file cache: one keyed-archive file per key in "TXCache" inside
// the user's caches folder, so any property-list tool reads an entry.
//
// - An entry holds a store record (a dictionary of plain values) or an
//   image (archived as "UIImage", ImageCoding.h); reading allows only those
//   classes, and a file that does not decode is a miss.
// - The file's creation date is the entry's date: every store writes a new
//   file atomically and stamps it with the platform clock's now, so a
//   rewrite dates the entry afresh.
// - A key is a file name: one holding "/", a NUL, or naming "." or ".." is
//   refused (store answers NO, restore nil), so no key reaches outside the
//   folder.
// Main thread, as the kit's lookups are; nothing here keeps state.
#pragma once

#include <optional>
#include <string>

#include "Platform/Foundation/Date.h"
#include "Platform/Foundation/Error.h"
#include "Platform/Foundation/KeyedArchiveObject.h"

class TXCache {
 public:
  static constexpr const char* kDirectoryName = "TXCache";

  // The cache folder, made when missing (its parent is not; a failure is
  // ignored and shows at the first write).
  static std::string cacheDirectory();
  // Writes the object's archive as the key's file; YES on success.
  static bool storeItemsToCache(const ns::KeyedArchiveObject& object, const std::string& key);
  // The object under the key, or nil when there is no readable entry. When
  // `dateStored` is given and the file's attributes can be read, it is set
  // to the entry's date.
  static ns::KeyedArchiveObject restoreItemsFromCache(const std::string& key,
                                                      std::optional<ns::Date>* dateStored = nullptr);
  // Removes the key's file; NO (and the error) when there is none.
  static bool removeItemsFromCache(const std::string& key, ns::Error* error = nullptr);

  // Whether `key` may name a file of the cache.
  static bool isValidKey(const std::string& key);
};
