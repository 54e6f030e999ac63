#include "Notes/BackupTexts.h"

#include "Libraries/AppSupportKit/NSDateUtilities.h"
#include "Notes/NTLocalized.h"
#include "Platform/Foundation/DateFormatter.h"
#include "Platform/Foundation/Format.h"

namespace BackupTexts {

std::string sizeText(uint64_t bytes) {
  if (bytes > 1048576) return ns::format(NTLocalized("%@ MB"), static_cast<unsigned long long>(bytes >> 20));
  if (bytes > 1024) return ns::format(NTLocalized("%@ KB"), static_cast<unsigned long long>(bytes >> 10));
  return ns::format(NTLocalized("%@ B"), static_cast<unsigned long long>(bytes));
}

std::string ageText(ns::Date date) {
  auto time = [&] {
    return ns::DateFormatter::localizedStringFromDate(date, ns::DateFormatterStyle::None, ns::DateFormatterStyle::Short);
  };
  if (NSDateUtilities::isToday(date)) return ns::format(NTLocalized("Today at %@"), time());
  if (NSDateUtilities::isYesterday(date)) return ns::format(NTLocalized("Yesterday at %@"), time());
  return ns::format(NTLocalized("%@ days ago"),
                    static_cast<long long>(NSDateUtilities::daysSinceDate(ns::Date::now(), date)));
}

std::string mediumDateText(ns::Date date) {
  return ns::DateFormatter::localizedStringFromDate(date, ns::DateFormatterStyle::Medium, ns::DateFormatterStyle::Medium);
}

}  // namespace BackupTexts
