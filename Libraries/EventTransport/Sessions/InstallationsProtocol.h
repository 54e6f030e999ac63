// PLACEHOLDER until the session coordinator lands.
#pragma once

#include <functional>
#include <string>
#include <variant>

#include "Platform/Foundation/Error.h"

class InstallationsProtocol {
 public:
  using Result = std::variant<std::string, ns::Error>;
  virtual ~InstallationsProtocol() = default;
  virtual void installationID(std::function<void(Result)> completion) const = 0;
};
