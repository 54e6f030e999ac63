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

void MSRSetError(ns::Error* error, int64_t code, const std::string& description) {
  if (error) *error = msr_errorWithCode(code, description);
}

void MSRSetErrorWithContext(ns::Error* error, int64_t code, const std::string& description,
                            const std::string& context) {
  if (error) *error = msr_errorWithCode(code, description, context);
}

bool MSRCheckCondition(bool condition, ns::Error* error, int64_t code, const std::string& description) {
  if (!condition) MSRSetError(error, code, description);
  return condition;
}

std::string MSRMonitorContextFromErrors(const std::vector<MSRLogContext>& contexts) {
  std::string out;
  for (const auto& context : contexts) {
    const ns::Error* e = context.error();
    if (!e || e->domain() != kMSRErrorDomain) continue;
    const ns::Value* text = e->userInfo().find(kMSRMonitorContextKey);
    if (!text || !text->isString() || text->asString()->empty()) continue;
    if (!out.empty()) out += ",";
    out += *text->asString();
  }
  return out;
}
