// One launch of a program that ships the installations library, for the
// tests of what the core keeps between launches: boots the device
// (argv[1]), takes the main bundle (argv[2], holding the options file),
// sends installations requests to argv[3], configures the default app and
// runs its commands in order, printing one line for each:
//   fid        the installation ID, once the background registration it
//              starts has ended: "fid <FID>"
//   token      the auth token: "token <token> <expiry, seconds since 1970>"
//   heartbeat  logs today's heartbeat and waits until it is stored:
//              "logged"
//   today      "today 2" when today's heartbeat is stored (it is taken
//              out), else "today 0"
//   lines:CODE the messages of the utilities logger's lines so far with
//              that message code: "line <message>" each
#include <cstdio>
#include <optional>
#include <string>

#include "Libraries/TelemetryCore/HeartbeatStorage.h"
#include "Libraries/TelemetryCore/VIDUve.h"
#include "Libraries/TelemetryCore/ZEVUdederozedaru.h"
#include "Libraries/TelemetryCore/ZEVUdederozedaruAPIService.h"
#include "Libraries/TelemetryFoundation/PRMPromise.h"
#include "Platform/Dispatch/RunLoop.h"
#include "Platform/Foundation/Bundle.h"
#include "Platform/Foundation/Device.h"
#include "Platform/Foundation/UserDefaults.h"
#include "Platform/SystemLog/LegacyLogStore.h"
#include "Libraries/TelemetryFoundation/ZULLogger.h"
#include "Libraries/TelemetryFoundation/testing/ZULLoggerTesting.h"

namespace {

// Only guards against a hang; a loaded machine answers well within it.
constexpr double kWaitSeconds = 120;

void say(const std::string& line) {
  std::printf("%s\n", line.c_str());
  std::fflush(stdout);
}

// Runs the main loop until every promise has settled.
bool settle() {
  return dispatch::RunLoop::main().runUntil([] { return PRMPromise::dispatchGroup().wait(dispatch::kTimeNow); },
                                            kWaitSeconds);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) return 2;
  ns::Device::boot(argv[1]);
  ns::Bundle::setMainBundlePath(argv[2]);
  ns::UserDefaults::standardUserDefaults()->setObject(ns::Value(std::string(argv[3])),
                                                      ZEVUdederozedaruAPIService::kBaseURLDefaultsKey);
  VIDUve::configure();
  auto app = VIDUve::defaultApp();
  auto installations = ZEVUdederozedaru::installations();
  if (!app || !installations) return 3;
  for (int i = 4; i < argc; ++i) {
    std::string command = argv[i];
    if (command == "fid") {
      std::optional<std::string> FID;
      installations->installationIDWithCompletion([&](auto answer, auto) { FID = answer; });
      if (!settle()) return 4;
      say("fid " + FID.value_or("(none)"));
    } else if (command == "token") {
      std::optional<ZEVUdederozedaruAuthTokenResult> token;
      installations->authTokenWithCompletion([&](auto answer, auto) { token = answer; });
      if (!settle()) return 4;
      say(token ? "token " + token->authToken() + " " +
                      std::to_string(static_cast<long long>(token->expirationDate().timeIntervalSince1970()))
                : "token (none)");
    } else if (command == "heartbeat") {
      app->heartbeatLogger()->log();
      zovcore::HeartbeatStorage::sharedStorage(app->options()->zororiAppID().value_or(""))->queue()->sync([] {});
      say("logged");
    } else if (command == "today") {
      say("today " + std::to_string(app->heartbeatLogger()->heartbeatCodeForToday()));
    } else if (command.starts_with("lines:")) {
      ZULLoggerWaitForWritesForTesting();
      for (auto& line : systemlog::LegacyLogStore::shared().search(
               {{"Facility", systemlog::LegacyCondition::Op::Equal, kZULLoggerFacility}})) {
        if (line["Message"].find("[" + command.substr(6) + "]") != std::string::npos) say("line " + line["Message"]);
      }
    } else {
      return 5;
    }
  }
  return 0;
}
