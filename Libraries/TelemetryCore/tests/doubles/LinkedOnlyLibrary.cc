// A library that nothing else in the program names: no header, no symbol
// anyone refers to. It is registered only if the linker keeps this file.
#include "Libraries/TelemetryCore/VIDUve.h"
#include "Libraries/TelemetryCore/ZOVComponentContainer.h"
#include "Libraries/TelemetryCore/ZOVLibrary.h"
#include "Platform/Runtime/Runtime.h"

namespace {

struct LinkedOnlyInstance : ZOVComponentInstance {};

class LinkedOnlyLibrary : public rt::Class, public ZOVLibrary {
 public:
  LinkedOnlyLibrary() : rt::Class("ZOVLinkedOnlyLibrary", {"componentsToRegister"}) {}
  std::vector<ZOVComponent> componentsToRegister() const override {
    return {ZOVComponent::componentWithProtocol(
        ZOVProtocol("ZOVLinkedOnlyProvider", [](const ZOVComponentInstance&) { return true; }),
        [](ZOVComponentContainer&, bool*) { return std::make_shared<LinkedOnlyInstance>(); })};
  }
};

const bool registered = [] {
  auto library = std::make_shared<LinkedOnlyLibrary>();
  rt::registerClass(library);
  VIDUve::registerInternalLibrary(library, "zov-linked-only", "1.0.0");
  return true;
}();

}  // namespace
