// Libraries registering with the core: as component registrants, for
// configureWithApp, and by name in the user agent.
#include <unicode/utf8.h>

#include "Libraries/TelemetryCore/VIDUve.h"
#include "Libraries/TelemetryCore/VIDUveClassState.h"
#include "Libraries/TelemetryCore/ZOVCoreVersion.h"
#include "Libraries/TelemetryCore/ZOVLogger.h"
#include "Platform/Foundation/Error.h"
#include "Platform/Foundation/Format.h"
#include "Platform/Foundation/URL.h"
#include "Platform/Runtime/Runtime.h"

namespace {

constexpr const char* kComponentsToRegisterSelector = "componentsToRegister";

// Libraries that are looked for by class name rather than registering
// themselves, with the name each registers as.
struct OptionalLibrary {
  const char* className;
  const char* name;
};
constexpr OptionalLibrary kOptionalComponentLibraries[] = {
    {"ZOVSessions", "zov-ses"},
    {"ZOVFunctionsComponent", "zov-fun"},
    {"ZOVStorageComponent", "zov-str"},
};
constexpr OptionalLibrary kOptionalUserAgentLibraries[] = {
    {"ZOVCombineAuthLibrary", "comb-auth"},
    {"ZOVCombineDocstoreLibrary", "comb-docstore"},
    {"ZOVCombineFunctionsLibrary", "comb-functions"},
    {"ZOVCombineStorageLibrary", "comb-storage"},
};

}  // namespace

bool VIDUveHasOnlyAlphanumericsAnd(const std::string& text, std::string_view extra) {
  const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
  int32_t length = static_cast<int32_t>(text.size());
  for (int32_t i = 0; i < length;) {
    UChar32 c;
    U8_NEXT(bytes, i, length, c);
    if (c < 0) return false;  // not UTF-8
    bool allowed = (c < 0x80 && extra.find(static_cast<char>(c)) != std::string_view::npos) ||
                   ns::urlCharacterSetContains(ns::URLCharacterSet::Alphanumeric, static_cast<char32_t>(c));
    if (!allowed) return false;
  }
  return true;
}

void VIDUve::registerInternalLibrary(const std::shared_ptr<rt::Class>& library, const std::string& name) {
  registerInternalLibrary(library, name, ZOVCoreVersionString());
}

void VIDUve::registerInternalLibrary(const std::shared_ptr<rt::Class>& library, const std::string& name,
                                     const std::string& version) {
  std::shared_ptr<ZOVLibrary> registrant = rt::classAs<ZOVLibrary>(library);
  if (!registrant || !library->respondsToSelector(kComponentsToRegisterSelector)) {
    throw ns::Exception(ns::kInvalidArgumentException,
                        ns::format("Class %@ attempted to register components, but it does not conform to `ZOVLibrary "
                                   "or provide a `componentsToRegister:` method.",
                                   library ? library->name() : std::string("(null)")));
  }
  ZOVComponentContainer::registerAsComponentRegistrant(registrant);
  if (registrant->respondsToConfigureWithApp()) {
    VIDUveClassState& state = VIDUveClassState::shared();
    std::lock_guard lock(state.lock);
    state.librariesToConfigure.push_back(registrant);
  }
  registerLibrary(name, version);
}

void VIDUve::registerLibrary(const std::string& name, const std::string& version) {
  if (!VIDUveHasOnlyAlphanumericsAnd(name, "-_.") || !VIDUveHasOnlyAlphanumericsAnd(version, "-_.")) {
    ZOVLogAtErrorLevel(kZOVLoggerService, "I-COR000027",
                       "The library name (%@) or version number (%@) contain invalid characters. Only alphanumeric, "
                       "dash, underscore and period characters are allowed.",
                       name, version);
    return;
  }
  userAgent()->setValue(version, name);
  VIDUveClassState& state = VIDUveClassState::shared();
  std::lock_guard lock(state.lock);
  if (!state.firstConfigureStarted) state.hookLibraryVersions[name] = version;
}

void VIDUveRegisterOptionalLibraries() {
  VIDUveClassState& state = VIDUveClassState::shared();
  std::lock_guard lock(state.lock);
  state.firstConfigureStarted = true;
  if (state.optionalLibrariesRegistered) return;
  state.optionalLibrariesRegistered = true;
  for (const OptionalLibrary& entry : kOptionalComponentLibraries) {
    std::shared_ptr<rt::Class> library = rt::classFromString(entry.className);
    if (library && library->respondsToSelector(kComponentsToRegisterSelector)) {
      VIDUve::registerInternalLibrary(library, entry.name);
    }
  }
  for (const OptionalLibrary& entry : kOptionalUserAgentLibraries) {
    if (rt::classFromString(entry.className)) VIDUve::registerLibrary(entry.name, ZOVCoreVersionString());
  }
}
