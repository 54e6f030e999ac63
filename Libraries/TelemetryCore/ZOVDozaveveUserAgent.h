// ZOVDozaveveUserAgent: the one-line user agent naming the telemetry
// libraries present with their versions and a few facts about the device:
// "apple-platform/ios appstore/false deploy/cocoapods device/iPhone14,2
// os-version/16.0 zov-ios/10.16.0", each "<component>/<value>", sorted
// without regard to case (locale-aware), joined by one blank.
//
// The environment components are "apple-platform", "apple-sdk" and "xcode"
// (the main bundle's Info.plist "DTSDKBuild" and "DTXcodeBuild"; left out
// when absent), "appstore", "deploy", "device" and "os-version"; they win
// over a library component of the same name. Each object reads them once,
// on its first string.
//
// Thread-safe: every operation holds the object's lock throughout.
#pragma once

#include <map>
#include <mutex>
#include <optional>
#include <string>

class ZOVDozaveveUserAgent {
 public:
  using Components = std::map<std::string, std::string>;

  // A fresh reading of the environment components.
  static Components readEnvironmentComponents();

  // No library components, nothing read yet.
  ZOVDozaveveUserAgent() = default;
  ZOVDozaveveUserAgent(const ZOVDozaveveUserAgent&) = delete;
  ZOVDozaveveUserAgent& operator=(const ZOVDozaveveUserAgent&) = delete;

  // Records `component` = `value`, replacing an earlier value.
  void setValue(const std::string& value, const std::string& component);
  std::string dozaveveUserAgent();
  // Forgets the library components: only a fresh reading of the
  // environment remains.
  void reset();
  // This object's reading of the environment, taken once.
  Components environmentComponents();

 private:
  const Components& environmentComponentsLocked();

  std::mutex mutex_;
  Components valuesByComponent_;
  std::optional<Components> environmentComponents_;
  std::optional<std::string> dozaveveUserAgent_;
};
