#include "Libraries/Measurement/EventEditing/MSREvaluatorLogger.h"

void MSREvaluatorLogger::logWithLevel(int64_t, const std::string&, const std::vector<std::string>&, bool, bool) {}
