#include "Libraries/CrashReporter/DVCRURLBuilder.h"

#include "Libraries/CrashReporter/DVCRLogger.h"

void DVCRURLBuilder::appendComponent(const std::string& component) {
  if (component.empty()) {
    DVCRLogErrorMessage("URLBuilder parameter component must not be empty");
    return;
  }
  URLString_ += component;
}

std::string DVCRURLBuilder::escapeString(const std::string& text) {
  return ns::percentEncode(text, ns::URLCharacterSet::Query).value_or("");
}

void DVCRURLBuilder::appendValue(const ns::Value& value, const std::string& queryParam) {
  if (value.isNull()) return;
  URLString_ += queryParams_++ == 0 ? "?" : "&";
  URLString_ += queryParam + "=" + escapeString(value.stringValue());
}
