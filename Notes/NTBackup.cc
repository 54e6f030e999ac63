#include "Notes/NTBackup.h"

#include <mutex>
#include <regex>

#include "Libraries/ErrorReport/ErrorReport.h"
#include "Platform/Foundation/FileManager.h"
#include "Platform/Foundation/Locale.h"
#include "Platform/Foundation/TimeZone.h"

const ns::DateFormatter& NTBackup::dateFormatter() {
  // Function-local static: two first uses from different threads are safe.
  static const ns::DateFormatter* formatter = [] {
    auto* f = new ns::DateFormatter();
    f->setLocale(ns::Locale::posix());
    f->setDateFormat("yyyy-MM-dd HH-mm-ss");
    f->setTimeZone(ns::TimeZone::defaultZone());
    return f;
  }();
  return *formatter;
}

namespace {
// The formatter is shared across threads (naming on a backup's queue,
// listing on the main thread); its uses here take turns.
std::mutex& formatterMutex() {
  static std::mutex mutex;
  return mutex;
}
}  // namespace

std::string NTBackup::backupNameForDate(ns::Date date, bool autoBackup) {
  return std::string(autoBackup ? "Quillbox Auto Backup" : "Quillbox Backup") + " " +
         [&] {
           std::lock_guard lock(formatterMutex());
           return dateFormatter().stringFromDate(date);
         }();
}

NTBackup::NTBackup(ns::URL url) : url_(std::move(url)) {
  ns::Error error;
  auto attributes = ns::FileManager::defaultManager().attributesOfItem(url_.path(), &error);
  if (!attributes) QB_REPORT(error);
  if (attributes) size_ = attributes->size;

  std::string name = url_.deletingPathExtension().lastPathComponent();
  static const std::regex pattern(R"(\d{4}-\d{2}-\d{2} \d{2}-\d{2}-\d{2})", std::regex::icase);
  std::smatch match;
  if (std::regex_search(name, match, pattern)) {
    std::lock_guard lock(formatterMutex());
    date_ = dateFormatter().dateFromString(match.str());
  }
  isAutoBackup_ = name.find("Quillbox Auto Backup") != std::string::npos;
  if (!date_ && attributes) date_ = attributes->creationDate;
}
