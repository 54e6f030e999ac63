// The sessions library's class object as the core sees it: the runtime
// class "ZOVSessions", which the core looks up by name at its first
// configure (it never registers itself). Its one component is the
// always-eager ZOVSessionsProvider, without dependencies; it is built for
// the default app only (any other app gets none) and cached there.
//
// ZOVSessionsLoad.cc registers the class with the runtime as the program
// loads; it is linked whole, as the target TelemetrySessions, by the
// programs that ship sessions.
#pragma once

#include <vector>

#include "Libraries/TelemetryCore/ZOVLibrary.h"
#include "Platform/Runtime/Runtime.h"

inline constexpr const char* kZOVSessionsClassName = "ZOVSessions";

class ZOVSessionsLibrary : public rt::Class, public ZOVLibrary {
 public:
  ZOVSessionsLibrary();
  std::vector<ZOVComponent> componentsToRegister() const override;
};
