#include "Libraries/TelemetryFoundation/ZULSwizzler.h"

#include <string>

#include "Platform/Dispatch/Queue.h"

namespace {

const std::shared_ptr<dispatch::Queue>& swizzlerQueue() {
  static const std::shared_ptr<dispatch::Queue> queue = dispatch::Queue::serial("com.zorori.ZULSwizzler");
  return queue;
}

rt::MethodKind kindOf(bool isClassSelector) {
  return isClassSelector ? rt::MethodKind::Class : rt::MethodKind::Instance;
}

}  // namespace

bool ZULSwizzler::swizzleClass(const std::shared_ptr<rt::Class>& cls, std::string_view selector, bool isClassSelector,
                               rt::IMP block) {
  if (!cls || selector.empty() || !block) return false;
  bool replaced = false;
  swizzlerQueue()->sync([&] {
    rt::MethodKind kind = kindOf(isClassSelector);
    rt::IMP found = rt::methodImplementation(*cls, selector, kind);
    if (found && found->signature() != block->signature()) return;
    cls->setMethod(std::string(selector), std::move(block), kind);
    replaced = true;
  });
  return replaced;
}

rt::IMP ZULSwizzler::currentImplementationForClass(const std::shared_ptr<rt::Class>& cls, std::string_view selector,
                                                   bool isClassSelector) {
  if (!cls || selector.empty()) return nullptr;
  rt::IMP current;
  swizzlerQueue()->sync([&] { current = rt::methodImplementation(*cls, selector, kindOf(isClassSelector)); });
  return current;
}

bool ZULSwizzler::selectorExistsInClass(std::string_view selector, const std::shared_ptr<rt::Class>& cls,
                                        bool isClassSelector) {
  return cls && !selector.empty() && rt::methodImplementation(*cls, selector, kindOf(isClassSelector)) != nullptr;
}
