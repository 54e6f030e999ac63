// The kit's use counter, as stored in the standard defaults.
#include "Libraries/AppSupportKit/TXKit.h"
#include "Platform/Foundation/UserDefaults.h"

namespace {
constexpr const char* kUsesCountKey = "com.tavrix.TXKit.usesCount";
}

uint64_t TXKit::usesCount() const {
  int64_t count = ns::UserDefaults::standardUserDefaults()->integerForKey(kUsesCountKey);
  return count > 0 ? static_cast<uint64_t>(count) : 0;
}
