// The device the app runs on: one directory that holds everything the app
// stores, and the facts the platform would report about the hardware.
//
// Layout under the device directory:
//   App/Documents, App/Library, App/Library/Preferences, App/Library/Caches,
//   App/Library/Application Support, App/tmp   the app's sandbox
//   Groups/<group identifier>                  app-group containers
//   iCloud/<container>                         the iCloud container (signed in only)
//   device.plist                               the facts below, when changed
#pragma once

#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace ns {

enum class UserInterfaceIdiom { Phone = 0, Pad = 1 };
enum class DeviceOrientation {
  Unknown = 0,
  Portrait = 1,
  PortraitUpsideDown = 2,
  LandscapeLeft = 3,
  LandscapeRight = 4,
  FaceUp = 5,
  FaceDown = 6,
};
// The biometric sensor the device has (none, a fingerprint or a face reader).
enum class Biometry { None = 0, TouchID = 1, FaceID = 2 };

struct DeviceFacts {
  UserInterfaceIdiom idiom = UserInterfaceIdiom::Phone;
  DeviceOrientation orientation = DeviceOrientation::Portrait;
  std::string localeIdentifier = "en_US";
  std::string timeZoneName = "UTC";
  // The machine identifier the system reports ("hw.machine"): a phone
  // model, never the host's name.
  std::string modelIdentifier = "iPhone14,2";
  std::string systemName = "iOS";
  std::string systemVersion = "16.0";
  std::string systemBuildVersion = "20A362";  // the build of that system version
  std::string deviceName = "Quillbox Phone";
  bool iCloudSignedIn = false;
  // What a store install would show: an encrypted main executable, and a
  // receipt named "sandboxReceipt" (a test build) rather than "receipt".
  bool executableEncrypted = false;
  bool sandboxReceipt = false;
  // The app version first installed on this device; empty: the running
  // version is the first one installed.
  std::string originalAppVersion;
  // A sensor with the owner enrolled; none by default.
  Biometry biometry = Biometry::None;
  // Whether a mail account is set up and text messages can be sent.
  bool canSendMail = true;
  bool canSendText = true;
  // The person's preferred languages, most preferred first; unset: the
  // locale's language alone. May be set to an empty list.
  std::optional<std::vector<std::string>> preferredLanguages;

  bool operator==(const DeviceFacts&) const = default;
};

class Device {
 public:
  // The device directory: `explicitDirectory` when given, else
  // $QUILLBOX_DEVICE, else $XDG_DATA_HOME (or ~/.local/share)/quillbox/device.
  static std::string resolveDirectory(const std::string& explicitDirectory = {});

  // Makes the device at `directory` current: creates its folders and reads
  // its facts from device.plist (defaults for a missing file or key, or a
  // value of the wrong type). Replaces any earlier current device.
  // The device is the phone's sandbox, private to its owner: the directory
  // is made (or tightened to) 0700 and the process's umask becomes 077, so
  // every file and folder the app makes is its owner's alone (0600, 0700).
  static Device& boot(const std::string& directory);
  // The current device; boots the default directory on first use.
  static Device& current();
  static bool isBooted();

  const std::string& directory() const { return directory_; }
  // A copy: facts may change on another thread.
  DeviceFacts facts() const;
  // Changes facts and persists them in device.plist (written atomically).
  // Returns false when the file could not be written; the facts change anyway.
  bool setFacts(const DeviceFacts& facts);
  std::string factsPath() const;  // <device>/device.plist

  // Well-known folders (created on boot).
  std::string appDirectory() const;        // <device>/App, the sandbox's home
  std::string documentsDirectory() const;
  std::string libraryDirectory() const;
  std::string preferencesDirectory() const;
  std::string cachesDirectory() const;
  std::string applicationSupportDirectory() const;
  std::string temporaryDirectory() const;
  // Created on first request.
  std::string groupContainerDirectory(const std::string& groupIdentifier) const;
  // Empty when no iCloud account is signed in.
  std::string iCloudContainerDirectory(const std::string& containerIdentifier) const;
  std::string keychainPath() const;

 private:
  explicit Device(std::string directory);
  std::string directory_;
  mutable std::mutex factsMutex_;
  DeviceFacts facts_;
};

}  // namespace ns
