// VIDUve: a configured app of the telemetry core: a name, its own locked
// copy of the options, and its own component container.
//
// Apps are shared objects; the container refers back to its app weakly.
// The class keeps the user agent every app's heartbeats carry.
#pragma once

#include <memory>
#include <string>

#include "Libraries/TelemetryCore/REVUvevivo.h"
#include "Libraries/TelemetryCore/ZOVComponentContainer.h"
#include "Libraries/TelemetryCore/ZOVDozaveveUserAgent.h"

inline constexpr const char* kVIDUveDefaultAppName = "__VIDUVE_DEFAULT";

class VIDUve : public std::enable_shared_from_this<VIDUve> {
 public:
  // A new app: a copy of the name, a locked copy of the options, and a
  // container populated from the registered libraries.
  static std::shared_ptr<VIDUve> initInstanceWithName(const std::string& name, const REVUvevivo& options);

  const std::string& name() const { return name_; }
  // A further copy of the app's options (locked too).
  std::shared_ptr<REVUvevivo> options() const { return options_->copy(); }
  // Whether the name is "__VIDUVE_DEFAULT".
  bool isDefaultApp() const { return isDefaultApp_; }
  const std::shared_ptr<ZOVComponentContainer>& container() const { return container_; }

  // The process-wide user agent, made once with "zov-ios" = the core version.
  static const std::shared_ptr<ZOVDozaveveUserAgent>& userAgent();
  // Its string.
  static std::string dozaveveUserAgent();

 private:
  struct Passkey {};

 public:
  VIDUve(Passkey, const std::string& name, const REVUvevivo& options);

 private:
  std::string name_;
  std::shared_ptr<REVUvevivo> options_;
  bool isDefaultApp_;
  std::shared_ptr<ZOVComponentContainer> container_;
};
