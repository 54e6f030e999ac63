#include "Libraries/Measurement/EventEditing/MSRPMessageLogger.h"

#include <limits>

#include "Libraries/Measurement/EventEditing/MSRPError.h"
#include "Libraries/Measurement/EventEditing/MSRPEvaluator.h"
#include "Libraries/Measurement/EventEditing/MSRPUndefinedValue.h"
#include "Libraries/Measurement/EventEditing/MSRPValueRoutines.h"
#include "Platform/Foundation/StringUtf16.h"

MSRPMessageLogger::MSRPMessageLogger(std::shared_ptr<MSRPLoggerDelegate> logger)
    : MSRPFunctionValue(u"internal.logger"), logger_(std::move(logger)) {
  setValue(std::make_shared<MSRPFunctionLog>(logger_, false, true), u"log");
  setValue(std::make_shared<MSRPFunctionLogSilent>(logger_), u"silent");
  setValue(std::make_shared<MSRPFunctionLogUnmonitored>(logger_), u"unmonitored");
}

MSRPValueRef MSRPMessageLogger::invokeWithArguments(const MSRPValueList&, const std::shared_ptr<MSRPScope>&,
                                                    ns::Error&) {
  return MSRPUndefinedValue::sharedInstance();
}

MSRPFunctionLog::MSRPFunctionLog(std::shared_ptr<MSRPLoggerDelegate> logger, bool silent, bool monitored)
    : MSRPFunctionValue(u"log"), silent_(silent), monitored_(monitored), logger_(std::move(logger)) {}

MSRPValueRef MSRPFunctionLog::invokeWithArguments(const MSRPValueList& arguments,
                                                  const std::shared_ptr<MSRPScope>& scope, ns::Error& error) {
  const MSRPValueRef& undefined = MSRPUndefinedValue::sharedInstance();
  if (!MSRPCheckMinimumArgumentCount(arguments, 1, error)) return undefined;
  MSRPValueList values = MSRPEvaluateArguments(arguments, scope, error);
  if (MSRPHasError(error)) return undefined;
  int64_t level = 4;
  std::u16string message;
  std::vector<std::string> context;
  if (values.size() == 1) {
    message = values[0]->stringValueOrError(error);
    if (MSRPHasError(error)) return undefined;
  } else {
    double number = values[0]->doubleValueOrError(error);
    if (MSRPHasError(error)) return undefined;
    level = MSRPClampToInt64(MSRPToInteger(number), std::numeric_limits<int64_t>::min(),
                             std::numeric_limits<int64_t>::max());
    message = values[1]->stringValueOrError(error);
    if (MSRPHasError(error)) return undefined;
    for (size_t i = 2; i < values.size() && i < 5; ++i) {
      std::u16string text = values[i]->stringValueOrError(error);
      if (MSRPHasError(error)) return undefined;
      context.push_back(ns::toUtf8(text));
    }
  }
  if (logger_) logger_->logWithLevel(level, ns::toUtf8(message), context, silent_, monitored_);
  return undefined;
}

MSRPFunctionLogSilent::MSRPFunctionLogSilent(std::shared_ptr<MSRPLoggerDelegate> logger)
    : MSRPFunctionValue(u"silent") {
  setValue(std::make_shared<MSRPFunctionLog>(std::move(logger), true, true), u"log");
}

MSRPValueRef MSRPFunctionLogSilent::invokeWithArguments(const MSRPValueList&, const std::shared_ptr<MSRPScope>&,
                                                        ns::Error&) {
  return shared_from_this();
}

MSRPFunctionLogUnmonitored::MSRPFunctionLogUnmonitored(std::shared_ptr<MSRPLoggerDelegate> logger)
    : MSRPFunctionValue(u"unmonitored") {
  setValue(std::make_shared<MSRPFunctionLog>(std::move(logger), false, false), u"log");
}

MSRPValueRef MSRPFunctionLogUnmonitored::invokeWithArguments(const MSRPValueList&, const std::shared_ptr<MSRPScope>&,
                                                             ns::Error&) {
  return shared_from_this();
}
