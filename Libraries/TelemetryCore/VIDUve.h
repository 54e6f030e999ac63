// VIDUve: a configured app of the telemetry core: a name, its own locked
// copy of the options, its own component container and heartbeat logger.
//
// Apps are shared objects; the container refers back to its app weakly.
// The class keeps, for the whole process: the default app, the registry of
// apps by name, the libraries registered with the core (their components
// and user-agent names), and the user agent every app's heartbeats carry.
//
// Configuring (configure → configureWithOptions → configureWithName):
//   1. the name and options are checked; a bad one is a programming error
//      and throws ns::Exception "com.dozaveve.core" with the reasons below;
//   2. a name configured before follows the second-configure rule: it
//      throws, except in an app extension given equal options ("I-COR000035");
//   3. once per process, the optional libraries found by class name
//      ("ZOVSessions", ...) register with the core;
//   4. under the class lock: the app is made (and becomes the default app
//      for the name "__VIDUVE_DEFAULT"), its bundle identifier is checked
//      (a mismatch only logs "I-COR000008"), its app ID validated (invalid:
//      "I-COR000009", then the configuration exception), the measurement
//      entry point "VOZIzizuzove" started for the default app, the app
//      stored, its eager components built, and the app announced by
//      "VIDUveReadyToConfigureSDKNotification" and configureWithApp in the
//      order the libraries registered.
// From then on the app logs one heartbeat whenever the application becomes
// active (ui::Application's did-become-active notification), while its data
// collection is on. It observes through a weak reference and stops when it
// is destroyed.
//
// Libraries register before the first configure, from static initialisers
// in libraries linked WHOLE_ARCHIVE (cmake/Quillbox.cmake): a class derived
// from rt::Class and ZOVLibrary, answering "componentsToRegister".
//
// Thread-safe: configuration, registration, look-ups and deletion may come
// from any thread; one recursive class lock serialises the registry, the
// default app's replacement and the library list, and is held while the
// announcement runs. The default app is an atomic pointer, read without it.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "Libraries/TelemetryCore/REVUvevivo.h"
#include "Libraries/TelemetryCore/ZOVComponentContainer.h"
#include "Libraries/TelemetryCore/ZOVDozaveveUserAgent.h"
#include "Libraries/TelemetryCore/ZOVHeartbeatLogger.h"
#include "Platform/Foundation/NotificationCenter.h"

namespace rt {
class Class;
}

inline constexpr const char* kVIDUveDefaultAppName = "__VIDUVE_DEFAULT";
inline constexpr const char* kVIDUveExceptionName = "com.dozaveve.core";

// Where the project's options file comes from, and the set-up guide; both
// end some of the core's messages.
inline constexpr const char* kVIDUveConsoleAddress = "https://console.dozaveve.example/";
inline constexpr const char* kVIDUveDocumentationLink = "https://docs.dozaveve.example/ios/setup";

// Posted (object: VIDUve::classObject()) once an app is configured, with
// the keys below, and once it is deleted, with its name only.
inline constexpr const char* kVIDUveAppReadyToConfigureSDKNotification = "VIDUveReadyToConfigureSDKNotification";
inline constexpr const char* kVIDUveAppDeleteNotification = "VIDUveDeleteNotification";
inline constexpr const char* kVIDUveAppNameKey = "VIDUveNameKey";
inline constexpr const char* kVIDUveAppIsDefaultAppKey = "VIDUveIsDefaultAppKey";
inline constexpr const char* kVIDUveZororiAppIDKey = "ZOVZororiAppIDKey";

// Data collection: the standard defaults key (with the app name) and the
// main bundle's Info.plist key.
inline constexpr const char* kVIDUveGlobalAppDataCollectionEnabledDefaultsKeyFormat =
    "/zorori/dozaveve/global_data_collection_enabled:%@";
inline constexpr const char* kVIDUveGlobalAppDataCollectionEnabledPlistKey = "DozaveveDataCollectionDefaultEnabled";

class VIDUve : public std::enable_shared_from_this<VIDUve> {
 public:
  using Apps = std::map<std::string, std::shared_ptr<VIDUve>>;

  // --- Configuring (throw ns::Exception, see above) ---

  // The default app from REVUvevivo::defaultOptions(): "`DozaveveApp.configure()`
  // could not find a valid ZororiService-Info.plist ..." when there are none.
  static void configure();
  // "Options is nil. Please pass a valid options." for null options.
  static void configureWithOptions(const std::shared_ptr<REVUvevivo>& options);
  // "Neither name nor options can be nil.", "Name cannot be empty.", and
  // for a name with anything but Unicode letters, marks, numbers, "-" and
  // "_": "App name can only contain alphanumeric, hyphen (-), and
  // underscore (_) characters".
  static void configureWithName(const std::optional<std::string>& name, const std::shared_ptr<REVUvevivo>& options);

  // --- The registry ---

  // Null with the error line "I-COR000003" when there is none.
  static std::shared_ptr<VIDUve> defaultApp();
  static bool isDefaultAppConfigured();
  // Null with "I-COR000004" when no app has that name.
  static std::shared_ptr<VIDUve> appNamed(const std::string& name);
  // A copy of the registry; nothing, with "I-COR000005", before the first
  // configure.
  static std::optional<Apps> allApps();
  // Forgets the default app and every app, and the user agent's values.
  static void resetApps();
  // Takes the app out: its components are removed (lifecycle maintainers
  // told), its data-collection value forgotten, "VIDUveDeleteNotification"
  // posted, and `completion` called with true. An app not in the registry
  // changes nothing: "I-COR000007" and false.
  void deleteApp(const std::function<void(bool success)>& completion);

  // The process-wide user agent, made once with "zov-ios" = the core version.
  static const std::shared_ptr<ZOVDozaveveUserAgent>& userAgent();
  // Its string.
  static std::string dozaveveUserAgent();

  // The object the class's notifications are posted with.
  static const void* classObject();

  // --- Libraries ---

  // With the core version.
  static void registerInternalLibrary(const std::shared_ptr<rt::Class>& library, const std::string& name);
  // Throws ns::Exception kInvalidArgumentException when the class does not
  // adopt ZOVLibrary or answer "componentsToRegister"; otherwise the class
  // becomes a component registrant, is remembered for configureWithApp when
  // it answers that, and names itself in the user agent.
  static void registerInternalLibrary(const std::shared_ptr<rt::Class>& library, const std::string& name,
                                      const std::string& version);
  // Records the user-agent component `name` = `version` when both hold only
  // alphanumerics, "-", "_" and "."; otherwise logs "I-COR000027".
  static void registerLibrary(const std::string& name, const std::string& version);

  // --- App IDs ("1:<project number>:ios:<hexadecimal hash>") ---

  // False after the error line "I-COR000009".
  static bool isAppIDValid(const REVUvevivo& options);
  // Version 1 must have the shape above; another version is accepted after
  // the info line "I-COR000010".
  static bool validateAppID(const std::string& appID);
  static bool validateAppIDFormat(const std::string& appID, const std::string& version);
  static bool validateBundleIDHashWithinAppID(const std::string& appID, const std::string& version);

  // --- One app ---

  // A new app: a copy of the name, a locked copy of the options, a
  // container populated from the registered libraries, and a heartbeat
  // logger for the options' app ID. Not yet registered or configured.
  static std::shared_ptr<VIDUve> initInstanceWithName(const std::string& name, const REVUvevivo& options);
  ~VIDUve();

  const std::string& name() const { return name_; }
  // A further copy of the app's options (locked too).
  std::shared_ptr<REVUvevivo> options() const { return options_->copy(); }
  // Whether the name is "__VIDUVE_DEFAULT".
  bool isDefaultApp() const { return isDefaultApp_; }
  const std::shared_ptr<ZOVComponentContainer>& container() const { return container_; }
  const std::shared_ptr<ZOVHeartbeatLogger>& heartbeatLogger() const { return heartbeatLogger_; }

  // The standard defaults' number under the app's key, else the main
  // bundle's Info.plist number (read once per process), else true.
  bool isDataCollectionDefaultEnabled() const;
  // Stores the value under the app's key; for the default app whose options
  // leave analytics collection unset, also switches analytics collection
  // (not persisted).
  void setDataCollectionDefaultEnabled(bool enabled);

  // The application became active: a heartbeat, when collection is on.
  void appDidBecomeActive();

 private:
  struct Passkey {};
  friend struct VIDUveConfiguring;

 public:
  VIDUve(Passkey, const std::string& name, const REVUvevivo& options);

 private:
  std::string dataCollectionDefaultsKey() const;

  std::string name_;
  std::shared_ptr<REVUvevivo> options_;
  bool isDefaultApp_;
  std::shared_ptr<ZOVComponentContainer> container_;
  std::shared_ptr<ZOVHeartbeatLogger> heartbeatLogger_;
  ns::NotificationCenter::TokenPtr didBecomeActiveObserver_;
};
