// The facts about the running application that the sessions part reads in
// several places, gathered once when the sessions component is made: the
// app ID, the run environment chosen through the process environment, the
// build and display versions from Info.plist, and the network information.
//
// Fixed at construction and only read afterwards, from any thread.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>

#include "Libraries/EventTransport/Sessions/NetworkInfo.h"
#include "Platform/Foundation/Value.h"

inline constexpr const char* kApplicationInfoRunEnvironmentVariable = "DozaveveSessionsRunEnvironment";

class ApplicationInfoProtocol {
 public:
  virtual ~ApplicationInfoProtocol() = default;
  virtual const std::string& appID() const = 0;
  virtual const NetworkInfoProtocol& networkInformation() const = 0;
  // "prod", "staging" or "autopush".
  virtual std::string environment() const = 0;
  // "CFBundleVersion" and "CFBundleShortVersionString" of Info.plist; empty
  // when there is no such string.
  virtual std::string appBuildVersion() const = 0;
  virtual std::string appDisplayVersion() const = 0;
};

class ApplicationInfo : public ApplicationInfoProtocol {
 public:
  // `envParams` is the process environment (ns::ProcessInfo::environment in
  // the app), `infoDict` the main bundle's Info.plist, absent without one.
  ApplicationInfo(std::string appID, std::shared_ptr<const NetworkInfoProtocol> networkInformation,
                  std::map<std::string, std::string> envParams, std::optional<ns::Dictionary> infoDict);

  const std::string& appID() const override { return appID_; }
  const NetworkInfoProtocol& networkInformation() const override { return *networkInformation_; }
  // "DozaveveSessionsRunEnvironment", trimmed of white space and lowercased,
  // when it is one of the three names; "prod" otherwise.
  std::string environment() const override;
  std::string appBuildVersion() const override;
  std::string appDisplayVersion() const override;

  // The string under `key` in Info.plist; empty when there is none.
  std::string infoValue(const std::string& key) const;

 private:
  std::string appID_;
  std::shared_ptr<const NetworkInfoProtocol> networkInformation_;
  std::map<std::string, std::string> envParams_;
  std::optional<ns::Dictionary> infoDict_;
};
