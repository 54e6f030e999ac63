#include "Libraries/Measurement/Reporters/MSRLifetimeValueRecorder.h"

bool MSRLifetimeValueRecorder::isPurchaseEvent(const MSREvent&) { return false; }

bool MSRLifetimeValueRecorder::recordLifetimeValueToDatabase(MSRDatabase&, const MSREvent&) { return true; }
