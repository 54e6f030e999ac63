#include "Libraries/Measurement/Core/MSRError.h"

ns::Error msr_errorWithCode(int64_t code, const std::string& description, const std::string& monitorContext) {
  ns::Dictionary userInfo;
  if (!description.empty()) userInfo.set(ns::kLocalizedDescriptionKey, description);
  if (!monitorContext.empty()) userInfo.set(kMSRMonitorContextKey, monitorContext);
  return ns::Error(kMSRErrorDomain, code, std::move(userInfo));
}

ns::Error msr_errorWithCode(int64_t code, const std::string& description) {
  return msr_errorWithCode(code, description, {});
}
