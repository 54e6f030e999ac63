// Steps of the engine that other parts build: the start-up consent. Until
// then it does nothing.
#include "Libraries/Measurement/Core/MSRMeasurement.h"

void MSRMeasurement::setProspectiveConsentSettings() {}
