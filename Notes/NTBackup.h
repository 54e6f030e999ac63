// One backup file as the backup screens see it: its URL, the date in its
// name (or the file's creation date), its size and whether it was written
// automatically. Also names backups and owns the shared name-date formatter.
#pragma once

#include <optional>
#include <string>

#include "Platform/Foundation/Date.h"
#include "Platform/Foundation/DateFormatter.h"
#include "Platform/Foundation/URL.h"

class NTBackup {
 public:
  explicit NTBackup(ns::URL url);

  // "yyyy-MM-dd HH-mm-ss", en_US_POSIX, the device's time zone; created once.
  static const ns::DateFormatter& dateFormatter();
  // "Quillbox Auto Backup <date>" or "Quillbox Backup <date>".
  static std::string backupNameForDate(ns::Date date, bool autoBackup);

  const ns::URL& URL() const { return url_; }
  const std::optional<ns::Date>& date() const { return date_; }
  const std::optional<uint64_t>& size() const { return size_; }
  bool isAutoBackup() const { return isAutoBackup_; }

  bool operator==(const NTBackup& other) const { return url_.absoluteString() == other.url_.absoluteString(); }

 private:
  ns::URL url_;
  std::optional<ns::Date> date_;
  std::optional<uint64_t> size_;
  bool isAutoBackup_ = false;
};
