#include "Libraries/EventTransport/Sessions/DevEventConsoleLogger.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <utility>

#include "Libraries/EventTransport/Sessions/SessionEventDescriptions.h"
#include "Libraries/EventTransport/Sessions/ZOVSESLog.h"
#include "Libraries/EventTransport/Sessions/ZOVSESUtilities.h"
#include "Libraries/TelemetryFoundation/ZULLogger.h"
#include "Platform/Foundation/ProcessInfo.h"

namespace {

std::string text(const pb_bytes_array_t* array) {
  if (!array) return "<NULL>";
  if (array->size == 0) return "<EMPTY>";
  return ZOVSESStringFromBytesArray(array);
}

// The shortest decimal that reads back as the same double, with a digit
// after the point when it would have none ("1.0", "0.25", "1e-05").
std::string rate(double value) {
  if (std::isnan(value)) return "nan";
  if (std::isinf(value)) return value < 0 ? "-inf" : "inf";
  char buffer[64];
  auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
  std::string out(buffer, end);
  if (out.find_first_of(".e") == std::string::npos) out += ".0";
  return out;
}

}  // namespace

DevEventConsoleLogger::DevEventConsoleLogger(std::string commandLineArgument)
    : commandLineArgument_(std::move(commandLineArgument)) {}

void DevEventConsoleLogger::logEvent(const std::shared_ptr<SessionStartEvent>& event, Completion) {
  auto arguments = ns::ProcessInfo::processInfo().arguments();
  if (std::find(arguments.begin(), arguments.end(), commandLineArgument_) == arguments.end()) return;
  SessionEventMessage decoded = event->decodedProto();
  ZOVSESLog(ZULLoggerLevelInfo, printEvent(decoded.get()));
}

std::string DevEventConsoleLogger::printEvent(const dozaveve_appvitals_sessions_SessionEvent& event) const {
  const auto& session = event.session_data;
  const auto& status = session.data_collection_status;
  const auto& application = event.application_info;
  // Only the Apple alternative is printed; another one reads as empty.
  static const dozaveve_appvitals_sessions_AppleAppInfo kNoAppleAppInfo{};
  const auto& apple = application.which_platform_info == ZOVSESAppleAppInfoTag()
                          ? application.platform_info.apple_app_info
                          : kNoAppleAppInfo;
  const auto& network = apple.network_connection_info;
  const std::string lines[] = {
      "Printing Session Event due to \"" + commandLineArgument_ + "\" command line argument",
      "Session Event:",
      "  event_type: " + ZOVSESEventTypeText(event.event_type),
      "  session_data",
      "    session_id: " + text(session.session_id),
      "    first_session_id: " + text(session.first_session_id),
      "    session_index: " + std::to_string(session.session_index),
      "    event_timestamp_us: " + std::to_string(session.event_timestamp_us),
      "    dozaveve_installation_id: " + text(session.dozaveve_installation_id),
      "    data_collection_status",
      "      dodevadarud: " + ZOVSESDataCollectionStateText(status.dodevadarud),
      "      performance: " + ZOVSESDataCollectionStateText(status.performance),
      "      session_sampling_rate: " + rate(status.session_sampling_rate),
      "  application_info",
      "    app_id: " + text(application.app_id),
      "    session_sdk_version: " + text(application.session_sdk_version),
      "    os_version: " + text(application.os_version),
      "    device_model: " + text(application.device_model),
      "    development_platform_name: " + text(application.development_platform_name),
      "    development_platform_version: " + text(application.development_platform_version),
      "    session_sdk_version: " + text(application.session_sdk_version),
      "    apple_app_info",
      "      bundle_short_version: " + text(apple.bundle_short_version),
      "      app_build_version: " + text(apple.app_build_version),
      "      network_connection_info",
      "        network_type: " + std::to_string(network.network_type),
      "        mobile_subtype: " + std::to_string(network.mobile_subtype),
      "      os_name: " + ZOVSESOsNameText(apple.os_name),
      "      log_environment: " + ZOVSESLogEnvironmentText(application.log_environment),
  };
  std::string message;
  for (const std::string& line : lines) {
    if (!message.empty()) message += '\n';
    message += line;
  }
  return message;
}
