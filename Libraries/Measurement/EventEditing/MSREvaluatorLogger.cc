#include "Libraries/Measurement/EventEditing/MSREvaluatorLogger.h"

#include "Libraries/Measurement/Core/MSRMeasurement.h"
#include "Libraries/Measurement/Core/MSRMonitor.h"

int64_t MSREvaluatorLogger::monitorLevel(int64_t level, bool silent, bool monitored) {
  switch (level) {
    case 2:
      return 8;
    case 3:
      return 7;
    case 5:
      return silent ? 5 : monitored ? 4 : 3;
    case 6:
      return silent ? 2 : monitored ? 1 : 0;
    default:
      return 6;
  }
}

void MSREvaluatorLogger::logWithLevel(int64_t level, const std::string& message,
                                      const std::vector<std::string>& context, bool silent, bool monitored) {
  std::vector<MSRLogContext> contexts(context.begin(), context.end());
  MSRMeasurement::monitor()->logWithLevel(monitorLevel(level, silent, monitored), 24005, message, contexts);
}
