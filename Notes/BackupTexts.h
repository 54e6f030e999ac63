// The texts the backup screens show of a backup: its size and its age in
// the list, and the date the details and the mail give.
#pragma once

#include <cstdint>
#include <string>

#include "Platform/Foundation/Date.h"

namespace BackupTexts {

// "%@ B", "%@ KB" (above 1024 bytes) or "%@ MB" (above 1048576), the
// number truncated: 1024 reads "1024 B", 1025 "1 KB", 1048576 "1024 KB".
std::string sizeText(uint64_t bytes);
// "Today at 9:41 AM", "Yesterday at 9:41 AM" or "%@ days ago" (calendar days).
std::string ageText(ns::Date date);
// The date in the medium date and time styles.
std::string mediumDateText(ns::Date date);

}  // namespace BackupTexts
