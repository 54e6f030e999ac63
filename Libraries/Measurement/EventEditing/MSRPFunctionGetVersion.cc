#include "Libraries/Measurement/EventEditing/MSRPFunctionGetVersion.h"

#include "Libraries/Measurement/EventEditing/MSRPNumberValue.h"
#include "Libraries/Measurement/EventEditing/MSRPRuntime.h"

MSRPValueRef MSRPFunctionGetVersion::invokeWithArguments(const MSRPValueList&, const std::shared_ptr<MSRPScope>&,
                                                         ns::Error&) {
  return std::make_shared<MSRPNumberValue>(static_cast<double>(MSRPRuntime::runtimeVersion()));
}
