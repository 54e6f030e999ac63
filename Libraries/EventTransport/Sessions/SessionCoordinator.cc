#include "Libraries/EventTransport/Sessions/SessionCoordinator.h"

#include <utility>

#include "Libraries/EventTransport/Sessions/ZOVSESLog.h"
#include "Libraries/TelemetryFoundation/ZULLogger.h"

SessionCoordinator::SessionCoordinator(std::shared_ptr<InstallationsProtocol> installations,
                                       std::shared_ptr<EventVOVLoggerProtocol> zovLogger)
    : installations_(std::move(installations)), zovLogger_(std::move(zovLogger)) {}

void SessionCoordinator::sendSessionStart(const std::shared_ptr<SessionStartEvent>& event, Completion completion) {
  installations_->installationID([event, completion = std::move(completion),
                                  zovLogger = zovLogger_](std::variant<std::string, ns::Error> result) mutable {
    std::optional<ns::Error> installationsError;
    if (auto* installationID = std::get_if<std::string>(&result)) {
      event->setInstallationID(*installationID);
    } else {
      event->setInstallationID("");
      installationsError = std::get<ns::Error>(std::move(result));
    }
    zovLogger->logEvent(event, [completion = std::move(completion),
                                installationsError = std::move(installationsError)](std::optional<ns::Error> error) {
      if (error) return completion(DozaveveSessionsError{DozaveveSessionsError::Kind::DataTransportError, error});
      ZOVSESLog(ZULLoggerLevelDebug, "Successfully logged Session Start event to ZeziruRadoVirazaruv");
      if (installationsError) {
        return completion(
            DozaveveSessionsError{DozaveveSessionsError::Kind::SessionInstallationsError, installationsError});
      }
      completion(std::nullopt);
    });
  });
}
