#include "Platform/Foundation/Error.h"

#include <cxxabi.h>
#include <dlfcn.h>
#include <execinfo.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>


namespace ns {

namespace {

// Fills `raising` with this helper's and the constructor's own frames and
// `thrower` with everything from the thrower outwards. Kept out of line so
// that the two raising frames are always there, as the platform's raise
// shows its own two.
__attribute__((noinline)) void captureCallStack(uintptr_t (&raising)[2], std::vector<uintptr_t>& thrower) {
  void* frames[66];
  int n = backtrace(frames, 66);
  int i = 0;
  for (; i < n && i < 2; ++i) raising[i] = reinterpret_cast<uintptr_t>(frames[i]);
  // A compiler that does not alias the complete-object constructor to the
  // base-object one shows one more constructor frame; it raises too.
  for (; i < n; ++i) {
    Dl_info info{};
    if (dladdr(frames[i], &info) == 0 || !info.dli_sname || std::strncmp(info.dli_sname, "_ZN2ns9ExceptionC", 17) != 0)
      break;
  }
  for (; i < n; ++i) thrower.push_back(reinterpret_cast<uintptr_t>(frames[i]));
}

// "ns::Exception::Exception(std::string, ...)" less its parameter list (and
// any qualifiers after it): the platform's lines name functions bare.
std::string withoutParameters(std::string name) {
  for (;;) {
    bool trimmed = false;
    for (const char* qualifier : {" const", " volatile", " &&", " &"}) {
      size_t len = std::strlen(qualifier);
      if (name.size() > len && name.compare(name.size() - len, len, qualifier) == 0) {
        name.resize(name.size() - len);
        trimmed = true;
      }
    }
    if (!trimmed) break;
  }
  if (name.empty() || name.back() != ')') return name;
  int depth = 0;
  for (size_t i = name.size(); i-- > 0;) {
    if (name[i] == ')') ++depth;
    if (name[i] == '(' && --depth == 0) return i == 0 ? name : name.substr(0, i);
  }
  return name;
}

// One line as the platform writes it: index, image, address, then the
// symbol and the offset into it ("symbol + offset"), or the image and the
// offset into it when the dynamic linker knows no name there.
std::string symbolLine(size_t index, uintptr_t address) {
  Dl_info info{};
  std::string image = "???";
  std::string symbol;
  uintptr_t offset = 0;
  if (dladdr(reinterpret_cast<void*>(address), &info) != 0) {
    if (info.dli_fname && *info.dli_fname) {
      image = info.dli_fname;
      if (size_t slash = image.rfind('/'); slash != std::string::npos) image.erase(0, slash + 1);
    }
    if (info.dli_sname) {
      int status = 0;
      char* demangled = abi::__cxa_demangle(info.dli_sname, nullptr, nullptr, &status);
      symbol = withoutParameters(status == 0 && demangled ? demangled : info.dli_sname);
      std::free(demangled);
      offset = address - reinterpret_cast<uintptr_t>(info.dli_saddr);
    } else {
      offset = address - reinterpret_cast<uintptr_t>(info.dli_fbase);
    }
  }
  if (symbol.empty()) symbol = image;
  char head[96];
  std::snprintf(head, sizeof head, "%-4lu%-35s 0x%016lx ", static_cast<unsigned long>(index), image.c_str(),
                static_cast<unsigned long>(address));
  return head + symbol + " + " + std::to_string(offset);
}

}  // namespace

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
  captureCallStack(raising_, addresses_);
  what_ = name_ + ": " + reason_;
}

std::vector<std::string> Exception::callStackSymbols() const {
  std::vector<std::string> out;
  if (addresses_.empty()) return out;
  size_t index = 0;
  for (uintptr_t address : raising_) out.push_back(symbolLine(index++, address));
  for (uintptr_t address : addresses_) out.push_back(symbolLine(index++, address));
  return out;
}

std::string Exception::debugDescription() const { return what_; }

}  // namespace ns
