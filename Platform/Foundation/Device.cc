#include "Platform/Foundation/Device.h"

#include "Platform/Foundation/FileManager.h"
#include "Platform/Foundation/PropertyList.h"

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <mutex>

namespace ns {
namespace {

std::mutex& deviceMutex() {
  static std::mutex m;
  return m;
}
std::unique_ptr<Device>& currentDevice() {
  static std::unique_ptr<Device> d;
  return d;
}

// Only the owner reads or writes what the app makes.
constexpr uint32_t kPrivateUmask = 077;

// device.plist keys.
constexpr const char* kIdiomKey = "idiom";
constexpr const char* kOrientationKey = "orientation";
constexpr const char* kLocaleKey = "localeIdentifier";
constexpr const char* kTimeZoneKey = "timeZoneName";
constexpr const char* kModelKey = "modelIdentifier";
constexpr const char* kSystemNameKey = "systemName";
constexpr const char* kSystemVersionKey = "systemVersion";
constexpr const char* kSystemBuildVersionKey = "systemBuildVersion";
constexpr const char* kDeviceNameKey = "deviceName";
constexpr const char* kICloudKey = "iCloudSignedIn";
constexpr const char* kEncryptedKey = "executableEncrypted";
constexpr const char* kSandboxReceiptKey = "sandboxReceipt";
constexpr const char* kOriginalAppVersionKey = "originalAppVersion";
constexpr const char* kBiometryKey = "biometry";
constexpr const char* kCanSendMailKey = "canSendMail";
constexpr const char* kCanSendTextKey = "canSendText";
constexpr const char* kPreferredLanguagesKey = "preferredLanguages";

void readString(const Dictionary& d, const char* key, std::string& out) {
  if (const Value* v = d.find(key); v && v->isString()) out = *v->asString();
}

DeviceFacts readFacts(const std::string& path) {
  DeviceFacts facts;
  auto d = readDictionaryFile(path);
  if (!d) return facts;
  if (const Value* v = d->find(kIdiomKey); v && v->isInteger() && v->integerValue() >= 0 && v->integerValue() <= 1)
    facts.idiom = static_cast<UserInterfaceIdiom>(v->integerValue());
  if (const Value* v = d->find(kOrientationKey); v && v->isInteger() && v->integerValue() >= 0 && v->integerValue() <= 6)
    facts.orientation = static_cast<DeviceOrientation>(v->integerValue());
  readString(*d, kLocaleKey, facts.localeIdentifier);
  readString(*d, kTimeZoneKey, facts.timeZoneName);
  readString(*d, kModelKey, facts.modelIdentifier);
  readString(*d, kSystemNameKey, facts.systemName);
  readString(*d, kSystemVersionKey, facts.systemVersion);
  readString(*d, kSystemBuildVersionKey, facts.systemBuildVersion);
  readString(*d, kDeviceNameKey, facts.deviceName);
  readString(*d, kOriginalAppVersionKey, facts.originalAppVersion);
  if (const Value* v = d->find(kICloudKey); v && v->isBool()) facts.iCloudSignedIn = v->boolValue();
  if (const Value* v = d->find(kEncryptedKey); v && v->isBool()) facts.executableEncrypted = v->boolValue();
  if (const Value* v = d->find(kSandboxReceiptKey); v && v->isBool()) facts.sandboxReceipt = v->boolValue();
  if (const Value* v = d->find(kBiometryKey); v && v->isInteger() && v->integerValue() >= 0 && v->integerValue() <= 2)
    facts.biometry = static_cast<Biometry>(v->integerValue());
  if (const Value* v = d->find(kCanSendMailKey); v && v->isBool()) facts.canSendMail = v->boolValue();
  if (const Value* v = d->find(kCanSendTextKey); v && v->isBool()) facts.canSendText = v->boolValue();
  if (const Value* v = d->find(kPreferredLanguagesKey); v && v->isArray()) {
    std::vector<std::string> languages;
    for (const Value& language : *v->asArray())
      if (language.isString()) languages.push_back(*language.asString());
    facts.preferredLanguages = std::move(languages);
  }
  return facts;
}

Dictionary factsDictionary(const DeviceFacts& f) {
  Dictionary d{{kIdiomKey, Value(static_cast<int>(f.idiom))},
                    {kOrientationKey, Value(static_cast<int>(f.orientation))},
                    {kLocaleKey, Value(f.localeIdentifier)},
                    {kTimeZoneKey, Value(f.timeZoneName)},
                    {kModelKey, Value(f.modelIdentifier)},
                    {kSystemNameKey, Value(f.systemName)},
                    {kSystemVersionKey, Value(f.systemVersion)},
                    {kSystemBuildVersionKey, Value(f.systemBuildVersion)},
                    {kDeviceNameKey, Value(f.deviceName)},
                    {kICloudKey, Value(f.iCloudSignedIn)},
                    {kEncryptedKey, Value(f.executableEncrypted)},
                    {kSandboxReceiptKey, Value(f.sandboxReceipt)},
                    {kBiometryKey, Value(static_cast<int>(f.biometry))},
                    {kCanSendMailKey, Value(f.canSendMail)},
                    {kCanSendTextKey, Value(f.canSendText)}};
  if (!f.originalAppVersion.empty()) d[kOriginalAppVersionKey] = Value(f.originalAppVersion);
  if (f.preferredLanguages) {
    Array languages;
    for (const auto& language : *f.preferredLanguages) languages.emplace_back(language);
    d[kPreferredLanguagesKey] = Value(std::move(languages));
  }
  return d;
}

}  // namespace

std::string Device::resolveDirectory(const std::string& explicitDirectory) {
  if (!explicitDirectory.empty()) return std::filesystem::absolute(explicitDirectory).lexically_normal();
  if (const char* env = std::getenv("QUILLBOX_DEVICE"); env && *env)
    return std::filesystem::absolute(env).lexically_normal();
  std::string base;
  if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg) {
    base = xdg;
  } else if (const char* home = std::getenv("HOME"); home && *home) {
    base = std::string(home) + "/.local/share";
  } else {
    base = "/tmp";
  }
  return base + "/quillbox/device";
}

Device::Device(std::string directory) : directory_(std::move(directory)) {}

Device& Device::boot(const std::string& directory) {
  std::lock_guard lock(deviceMutex());
  currentDevice().reset(new Device(resolveDirectory(directory)));
  Device& d = *currentDevice();
  // Before anything is made: from here on nothing the process writes is
  // readable by other users of the machine, lock or not.
  setProcessUmask(kPrivateUmask);
  {
    std::error_code ec;
    std::filesystem::create_directories(d.directory_, ec);
    std::filesystem::permissions(d.directory_, std::filesystem::perms::owner_all, ec);
  }
  for (const auto& dir : {d.documentsDirectory(), d.preferencesDirectory(), d.cachesDirectory(),
                          d.applicationSupportDirectory(), d.temporaryDirectory()}) {
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
  }
  d.facts_ = readFacts(d.factsPath());
  return d;
}

Device& Device::current() {
  {
    std::lock_guard lock(deviceMutex());
    if (currentDevice()) return *currentDevice();
  }
  return boot({});
}

bool Device::isBooted() {
  std::lock_guard lock(deviceMutex());
  return currentDevice() != nullptr;
}

DeviceFacts Device::facts() const {
  std::lock_guard lock(factsMutex_);
  return facts_;
}

bool Device::setFacts(const DeviceFacts& facts) {
  std::lock_guard lock(factsMutex_);
  facts_ = facts;
  return writePropertyListFile(Value(factsDictionary(facts)), factsPath(), PropertyListFormat::XML, nullptr);
}

std::string Device::factsPath() const { return directory_ + "/device.plist"; }

std::string Device::appDirectory() const { return directory_ + "/App"; }
std::string Device::documentsDirectory() const { return appDirectory() + "/Documents"; }
std::string Device::libraryDirectory() const { return appDirectory() + "/Library"; }
std::string Device::preferencesDirectory() const { return libraryDirectory() + "/Preferences"; }
std::string Device::cachesDirectory() const { return libraryDirectory() + "/Caches"; }
std::string Device::applicationSupportDirectory() const { return libraryDirectory() + "/Application Support"; }
std::string Device::temporaryDirectory() const { return appDirectory() + "/tmp"; }

std::string Device::groupContainerDirectory(const std::string& groupIdentifier) const {
  std::string dir = directory_ + "/Groups/" + groupIdentifier;
  std::error_code ec;
  std::filesystem::create_directories(dir, ec);
  return dir;
}

std::string Device::iCloudContainerDirectory(const std::string& containerIdentifier) const {
  if (!facts().iCloudSignedIn) return {};
  std::string dir = directory_ + "/iCloud/" + containerIdentifier;
  std::error_code ec;
  std::filesystem::create_directories(dir, ec);
  return dir;
}

std::string Device::keychainPath() const { return directory_ + "/keychain.sqlite"; }

}  // namespace ns
