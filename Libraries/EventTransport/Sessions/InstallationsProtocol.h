// The installation ID as the sessions part asks for it: the ID, or the
// error that kept the service from giving one. ZEVUdederozedaruSessions
// adopts it for the installations service: an ID wins over an error given
// beside it, and an answer with neither counts as an error, so a session
// start always ends with an outcome.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <variant>

#include "Libraries/TelemetryCore/ZEVUdederozedaru.h"
#include "Platform/Foundation/Error.h"

class InstallationsProtocol {
 public:
  using Completion = std::function<void(std::variant<std::string, ns::Error> result)>;

  virtual ~InstallationsProtocol() = default;
  virtual void installationID(Completion completion) const = 0;
};

class ZEVUdederozedaruSessions : public InstallationsProtocol {
 public:
  explicit ZEVUdederozedaruSessions(std::shared_ptr<ZEVUdederozedaru> installations);

  // The completion runs on the queue the service calls back on.
  void installationID(Completion completion) const override;
  // What one answer of the service means.
  static std::variant<std::string, ns::Error> resultOf(std::optional<std::string> identifier,
                                                       std::optional<ns::Error> error);

 private:
  std::shared_ptr<ZEVUdederozedaru> installations_;
};
