// Extended attributes of files (the "user." namespace; give names without
// it), with a side record where the file system refuses user attributes:
// a hidden file "<dir>/.<file name>.<name>.xattr" next to the file holds the
// value instead, so callers that mark files (the log files' archived flag)
// keep working there. Failures return false/absent with the errno value.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace ns {

class ExtendedAttributes {
 public:
  // Absent with *err = ENODATA when the file has no such attribute.
  static std::optional<std::string> get(const std::string& path, const std::string& name, int* err = nullptr);
  static bool set(const std::string& path, const std::string& name, std::string_view value, int* err = nullptr);
  // Removing a missing attribute fails with ENODATA.
  static bool remove(const std::string& path, const std::string& name, int* err = nullptr);
  // Forgets a side record of `name` for `path` (after the file was deleted).
  static void removeSideRecord(const std::string& path, const std::string& name);

  static std::string sideRecordPath(const std::string& path, const std::string& name);
  // For tests: behave as on a file system without user attributes.
  static void setUseSideRecordsOnly(bool only);
};

}  // namespace ns
