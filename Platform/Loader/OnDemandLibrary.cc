#include "Platform/Loader/OnDemandLibrary.h"

#include <dlfcn.h>

#include "Platform/Loader/Loader.h"

namespace loader {

bool OnDemandLibrary::open(std::string* why) {
  std::call_once(once_, [this] {
    // RTLD_LOCAL: its symbols serve only the lookups made here, as if it
    // had never joined the program's global scope.
    handle_ = loader::open(soname_.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle_) {
      const char* reason = dlerror();
      error_ = reason ? reason : soname_ + ": cannot be opened";
    }
  });
  if (!handle_ && why) *why = error_;
  return handle_ != nullptr;
}

void* OnDemandLibrary::symbol(const char* name, std::string* why) {
  if (!open(why)) return nullptr;
  dlerror();
  void* address = dlsym(handle_, name);
  if (!address && why) {
    const char* reason = dlerror();
    *why = reason ? reason : soname_ + " has no " + name;
  }
  return address;
}

}  // namespace loader
