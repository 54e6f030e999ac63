// The process-wide state of the VIDUve class, shared by its files. Only
// the core's own files include this.
#pragma once

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Libraries/TelemetryCore/VIDUve.h"
#include "Libraries/TelemetryCore/ZOVLibrary.h"
#include "Platform/Foundation/Value.h"

struct VIDUveClassState {
  // Guards everything below but the default app.
  std::recursive_mutex lock;
  // Read without the lock by the default-app checks.
  std::atomic<std::shared_ptr<VIDUve>> defaultApp;
  // Made by the first configure.
  std::optional<VIDUve::Apps> apps;
  // Registered libraries that answer configureWithApp, in registration order.
  std::vector<std::shared_ptr<ZOVLibrary>> librariesToConfigure;
  bool optionalLibrariesRegistered = false;
  // The main bundle's Info.plist data-collection number, read once.
  bool dataCollectionPlistValueRead = false;
  std::optional<bool> dataCollectionPlistValue;
  // The user-agent names the libraries' hooks recorded before the first
  // configure, for a test's new launch to record again.
  bool firstConfigureStarted = false;
  std::map<std::string, std::string> hookLibraryVersions;

  // Made on first use and never destroyed: libraries register from static
  // initialisers, and apps may be asked for during exit.
  static VIDUveClassState& shared();
};

// Steps of configuring that need the app's private parts.
struct VIDUveConfiguring {
  static void appWasConfiguredTwice(const std::shared_ptr<VIDUve>& app, const std::shared_ptr<REVUvevivo>& options);
  static void addAppToAppDictionary(const std::shared_ptr<VIDUve>& app);
  static bool configureCore(const std::shared_ptr<VIDUve>& app);
  static void checkExpectedBundleID(const REVUvevivo& options);
  static void sendNotificationsToSDKs(const std::shared_ptr<VIDUve>& app);
  static void observeDidBecomeActive(const std::shared_ptr<VIDUve>& app);
};

// Once per process: the libraries found by class name register.
void VIDUveRegisterOptionalLibraries();

// Whether every character of `text` is a Unicode letter, mark or number,
// or one of `extra`.
bool VIDUveHasOnlyAlphanumericsAnd(const std::string& text, std::string_view extra);
