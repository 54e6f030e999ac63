#include "Libraries/Measurement/EventEditing/MSRPRuntimePlatform.h"

#include "Libraries/Measurement/EventEditing/MSRPFunctionGetVersion.h"
#include "Libraries/Measurement/EventEditing/MSRPUndefinedValue.h"

MSRPRuntimePlatform::MSRPRuntimePlatform() : MSRPFunctionValue(u"internal.platform") {
  setValue(std::make_shared<MSRPFunctionGetVersion>(), u"getVersion");
}

MSRPValueRef MSRPRuntimePlatform::invokeWithArguments(const MSRPValueList&, const std::shared_ptr<MSRPScope>&,
                                                      ns::Error&) {
  return MSRPUndefinedValue::sharedInstance();
}
