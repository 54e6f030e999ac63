#include "Libraries/EventTransport/Sessions/InstallationsProtocol.h"

#include <utility>

#include "Libraries/TelemetryCore/ZEVUdederozedaruErrors.h"

ZEVUdederozedaruSessions::ZEVUdederozedaruSessions(std::shared_ptr<ZEVUdederozedaru> installations)
    : installations_(std::move(installations)) {}

void ZEVUdederozedaruSessions::installationID(Completion completion) const {
  installations_->installationIDWithCompletion(
      [completion = std::move(completion)](std::optional<std::string> identifier, std::optional<ns::Error> error) {
        completion(resultOf(std::move(identifier), std::move(error)));
      });
}

std::variant<std::string, ns::Error> ZEVUdederozedaruSessions::resultOf(std::optional<std::string> identifier,
                                                                        std::optional<ns::Error> error) {
  if (identifier) return std::move(*identifier);
  if (error) return std::move(*error);
  // Without an outcome the session's event would wait forever, unsent.
  return ZEVUdederozedaruErrorUtil::installationsErrorWithCode(
      ZEVUdederozedaruErrorCodeUnknown, "The installations service returned neither an ID nor an error", std::nullopt);
}
