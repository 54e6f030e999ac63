#include "Libraries/Measurement/Core/MSRBackwardCompatibilityUtil.h"

#include <memory>

#include "Platform/Runtime/Runtime.h"

bool MSRBackwardCompatibilityUtil::disableRERUzerovarira() {
  std::shared_ptr<rt::Class> cls = rt::classFromString("RERUzerovarira");
  if (!cls) return false;
  auto sharedInstance = rt::functionOf<std::shared_ptr<void>(const rt::Class&)>(
      rt::methodImplementation(*cls, "sharedInstance", rt::MethodKind::Class));
  auto setIsEnabled = rt::functionOf<void(const std::shared_ptr<void>&, bool)>(
      rt::methodImplementation(*cls, "setIsEnabled:", rt::MethodKind::Instance));
  if (!sharedInstance || !setIsEnabled) return false;
  std::shared_ptr<void> instance = sharedInstance(*cls);
  if (!instance) return false;
  setIsEnabled(instance, false);
  return true;
}
