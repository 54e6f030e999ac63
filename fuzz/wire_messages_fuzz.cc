// Measurement wire messages from outside (uploaded batches read back from
// the store, the remote configuration, programs, experiment snapshots and
// answers): the first byte picks the message, the rest are its bytes. Whatever they are, decoding fails
// cleanly or gives a message that encodes, decodes again and encodes to
// the same bytes.
#include <cstdlib>
#include <functional>
#include <memory>

#include "Libraries/WireMessages/MSRPBConfigurationMessages.h"
#include "Libraries/WireMessages/MSRPBExperimentMessages.h"
#include "Libraries/WireMessages/MSRPBProgramMessages.h"
#include "Libraries/WireMessages/MSRPBTextOutput.h"
#include "Libraries/WireMessages/MSRPBUploadMessages.h"
#include "Platform/SystemLog/SystemLog.h"

namespace {

template <class T>
void roundTrip(const uint8_t* data, size_t size) {
  auto message = T::initWithBuffer(ns::Data(data, data + size));
  if (!message) return;
  auto encoded = message->protoBuffer();
  if (!encoded) std::abort();
  auto again = T::initWithBuffer(*encoded);
  if (!again) std::abort();
  if (again->protoBuffer() != encoded) std::abort();
}

// New messages go at the end: a seed's first byte keeps its message.
using RoundTrip = void (*)(const uint8_t*, size_t);
constexpr RoundTrip kMessages[] = {
    roundTrip<MSRPBMeasurementBatch>,         roundTrip<MSRPBMeasurementBundle>,
    roundTrip<MSRPBEvent>,                    roundTrip<MSRPBEventParam>,
    roundTrip<MSRPBUserAttribute>,            roundTrip<MSRPBAudienceLeafFilterResult>,
    roundTrip<MSRPBResultData>,               roundTrip<MSRPBDynamicFilterResultTimestamp>,
    roundTrip<MSRPBSequenceFilterResultTimestamp>,
    roundTrip<MSRPBMeasurementConfig>,        // 9
    roundTrip<MSRPBSetting>,                  roundTrip<MSRPBEventConfig>,
    roundTrip<MSRPBDataControl>,              roundTrip<MSRPBRegion>,
    roundTrip<MSRPBConsentConfig>,            roundTrip<MSRPBConsentDefaultEntry>,
    roundTrip<MSRPBConsentDelegationEntry>,   roundTrip<MSRPBCorePlatformServiceEntry>,
    roundTrip<MSRPBAudience>,                 roundTrip<MSRPBEventFilter>,
    roundTrip<MSRPBPropertyFilter>,           roundTrip<MSRPBFilter>,
    roundTrip<MSRPBNumberFilter>,             roundTrip<MSRPBStringFilter>,
    roundTrip<MSRPBProgram>,                  roundTrip<MSRPBRuntimeEntity>,
    roundTrip<MSRPBOgtActivities>,            roundTrip<MSRPBOgtActivity>,
    roundTrip<MSRPBExperimentRequest>,        roundTrip<MSRPBAppProperty>,
    roundTrip<MSRPBClientProperty>,           roundTrip<MSRPBCustomProperty>,
    roundTrip<MSRPBExperimentResponse>,       // 32
    roundTrip<MSRPBSnapshot>,                 roundTrip<MSRPBExperiment>,
    roundTrip<MSRPBFlag>,                     roundTrip<MSRPBSdkResponse>,
    roundTrip<MSRPBSkAdNetworkConversionValueRequest>,
    roundTrip<MSRPBSkAdNetworkConversionValueResponse>,
};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  MSRPBSetCoderOutput([](const std::string&) {});
  systemlog::Log::setSinkForTesting([](int, const std::string&) {});
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  kMessages[data[0] % std::size(kMessages)](data + 1, size - 1);
  return 0;
}
