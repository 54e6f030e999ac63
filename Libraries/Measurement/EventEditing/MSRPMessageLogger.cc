#include "Libraries/Measurement/EventEditing/MSRPMessageLogger.h"

MSRPMessageLogger::MSRPMessageLogger(std::shared_ptr<MSRPLoggerDelegate> logger)
    : MSRPFunctionValue(u"internal.logger"), logger_(std::move(logger)) {}
