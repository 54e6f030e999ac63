// PLACEHOLDER until the session coordinator lands.
#pragma once

#include <functional>
#include <string>
#include <variant>

#include "Platform/Foundation/Error.h"

class InstallationsProtocol {
 public:
  using Completion = std::function<void(std::variant<std::string, ns::Error> result)>;
  virtual ~InstallationsProtocol() = default;
  virtual void installationID(Completion completion) const = 0;
};
