#include "Platform/Foundation/Error.h"

#include <execinfo.h>

#include <cstdlib>
#include <cstring>

namespace ns {

Error Error::withDescription(std::string domain, int64_t code, const std::string& description) {
  return Error(std::move(domain), code, Dictionary{{kLocalizedDescriptionKey, Value(description)}});
}

Error Error::posix(int err, const std::string& path) {
  Dictionary info{{kLocalizedDescriptionKey, Value(std::string(std::strerror(err)))}};
  if (!path.empty()) info.set(kFilePathErrorKey, Value(path));
  return Error(kPOSIXErrorDomain, err, std::move(info));
}

std::string Error::localizedDescription() const {
  if (const Value* v = userInfo_.find(kLocalizedDescriptionKey); v && v->isString()) return *v->asString();
  return "The operation couldn\u2019t be completed. (" + domain_ + " error " + std::to_string(code_) + ".)";
}

std::string Error::description() const {
  std::string out = "Error Domain=" + domain_ + " Code=" + std::to_string(code_) + " \"" +
                    localizedDescription() + "\"";
  if (!userInfo_.empty()) out += " UserInfo=" + Value(userInfo_).description();
  return out;
}

Exception::Exception(std::string name, std::string reason, Dictionary userInfo)
    : name_(std::move(name)), reason_(std::move(reason)), userInfo_(std::move(userInfo)) {
  void* frames[64];
  int n = backtrace(frames, 64);
  // Skip this constructor's own frame.
  for (int i = 1; i < n; ++i) addresses_.push_back(reinterpret_cast<uintptr_t>(frames[i]));
  what_ = name_ + ": " + reason_;
}

std::vector<std::string> Exception::callStackSymbols() const {
  std::vector<std::string> out;
  if (addresses_.empty()) return out;
  std::vector<void*> frames;
  for (auto a : addresses_) frames.push_back(reinterpret_cast<void*>(a));
  char** symbols = backtrace_symbols(frames.data(), int(frames.size()));
  if (!symbols) return out;
  for (size_t i = 0; i < frames.size(); ++i) out.emplace_back(symbols[i]);
  std::free(symbols);
  return out;
}

std::string Exception::debugDescription() const { return what_; }

}  // namespace ns
