// Makes the crash reporter a telemetry library of the core as the program
// loads. Linked whole (TelemetryDodevadarud) by the programs that ship crash
// reporting: nothing names this file, so a plain static link would drop it.
#include "Libraries/CrashReporter/ZOVDodevadarud.h"
#include "Libraries/EventTransport/Sessions/ZOVSessionsProvider.h"
#include "Libraries/TelemetryCore/VIDUve.h"
#include "Libraries/TelemetryCore/ZOVLibrary.h"
#include "Platform/Runtime/Runtime.h"

namespace {

class DodevadarudLibrary : public rt::Class, public ZOVLibrary {
 public:
  DodevadarudLibrary() : rt::Class("ZOVDodevadarud", {"componentsToRegister"}) {}
  std::vector<ZOVComponent> componentsToRegister() const override { return ZOVDodevadarud::componentsToRegister(); }
};

const bool registered = [] {
  auto library = std::make_shared<DodevadarudLibrary>();
  rt::registerClass(library);
  VIDUve::registerInternalLibrary(library, kZOVDodevadarudLibraryName);
  ZOVSessionsDependencies::addDependencyWithName(SessionsSubscriberName::Dodevadarud);
  return true;
}();

}  // namespace
