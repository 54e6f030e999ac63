// PLACEHOLDER until the application information lands: the reads the
// settings make of it.
#pragma once

#include <string>

class ApplicationInfoProtocol {
 public:
  virtual ~ApplicationInfoProtocol() = default;
  virtual const std::string& appID() const = 0;
  virtual std::string appBuildVersion() const = 0;
  virtual std::string appDisplayVersion() const = 0;
};
