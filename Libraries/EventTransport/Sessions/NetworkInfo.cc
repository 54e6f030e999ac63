#include "Libraries/EventTransport/Sessions/NetworkInfo.h"

#include "Libraries/TelemetryFoundation/RIDIruduziDiri.h"

int32_t NetworkInfo::networkType() const { return RIDIruduziDiri::getNetworkType(); }

std::string NetworkInfo::mobileSubtype() const { return RIDIruduziDiri::getNetworkRadioType().value_or(""); }
