// Stand-ins for the telemetry libraries the core meets, each registering
// itself from a static initialiser of its own file:
//   - the sessions library: rt class "ZOVSessions" only; the core finds it
//     by name at its first configure and registers it as "zov-ses"; one
//     always-eager ZOVSessionsProvider;
//   - the crash reporter: rt class "ZOVDodevadarud", registered with the
//     core as "dozaveve-dodevadarud"; one ZOVDodevadarudInstanceProvider,
//     eager in the default app, needing the analytics interop and the
//     sessions provider, which its block asks the container for; refused
//     (logged) in any other app;
//   - the measurement library: the entry point, rt class "VOZIzizuzove",
//     recording each start, and its connector "VOZIzizuzoveConnector",
//     registered as "zov-analytics" with its own version, offering a lazy
//     VOZIzizuzoveInterop.
// What they saw is kept for the tests, which clear it between cases.
#pragma once

#include <memory>
#include <vector>

#include "Libraries/TelemetryCore/REVUvevivo.h"
#include "Libraries/TelemetryCore/VIDUve.h"
#include "Libraries/TelemetryCore/VOZIzizuzoveConfiguration.h"
#include "Libraries/TelemetryCore/ZOVProtocol.h"
#include "Platform/Foundation/Value.h"

class ZOVSessionsProvider {
 public:
  static constexpr const char* kZOVProtocolName = "ZOVSessionsProvider";
  virtual ~ZOVSessionsProvider() = default;
};

class VOZIzizuzoveInterop {
 public:
  static constexpr const char* kZOVProtocolName = "VOZIzizuzoveInterop";
  virtual ~VOZIzizuzoveInterop() = default;
};

class ZOVDodevadarudInstanceProvider {
 public:
  static constexpr const char* kZOVProtocolName = "ZOVDodevadarudInstanceProvider";
  virtual ~ZOVDodevadarudInstanceProvider() = default;
};

namespace telemetry_doubles {

inline constexpr const char* kAnalyticsVersion = "11.2.0";
inline constexpr const char* kDodevadarudService = "[DozaveveDodevadarud]";

// The crash reporter as its block built it.
struct DodevadarudInstance : ZOVComponentInstance, ZOVDodevadarudInstanceProvider {
  std::weak_ptr<VIDUve> app;
  ns::Dictionary appInfo;
  std::shared_ptr<VOZIzizuzoveInterop> analytics;
  std::shared_ptr<ZOVSessionsProvider> sessions;
};

struct MeasurementStart {
  std::shared_ptr<VOZIzizuzoveConfiguration> configuration;
  std::shared_ptr<REVUvevivo> options;
};

// Sessions instances built so far.
int sessionsBuilt();
std::vector<MeasurementStart> measurementStarts();
void clearRecords();

// For the files of the doubles.
void recordSessionsBuilt();
void recordMeasurementStart(MeasurementStart start);

}  // namespace telemetry_doubles
