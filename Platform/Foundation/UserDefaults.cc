#include "Platform/Foundation/UserDefaults.h"

#include <errno.h>

#include <map>

#include "Platform/Foundation/Bundle.h"
#include "Platform/Foundation/Device.h"
#include "Platform/Foundation/Error.h"
#include "Platform/Foundation/PropertyList.h"
#include "Platform/Foundation/UserDefaultsStore.h"

namespace ns {
namespace {

constexpr const char* kGlobalDomain = "NSGlobalDomain";

// The instances of the current device, and the process-wide registration
// domain (shared by every instance, as on the platform). Both start afresh
// when another device boots.
struct Instances {
  std::mutex mutex;
  std::string deviceDirectory;
  std::map<std::string, std::shared_ptr<UserDefaults>> byDomain;
};
Instances& instances() {
  static Instances i;
  return i;
}

std::mutex& registrationMutex() {
  static std::mutex m;
  return m;
}
Dictionary& registration() {
  static Dictionary d;
  return d;
}

bool isSafeDomainName(const std::string& name) {
  return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos &&
         name.find('\0') == std::string::npos;
}

std::string storePath(const std::string& preferencesDirectory, const std::string& domain) {
  return preferencesDirectory + "/" + domain + ".plist";
}

}  // namespace

std::string UserDefaults::applicationDomainName() {
  if (auto identifier = Bundle::mainBundle()->bundleIdentifier(); identifier && isSafeDomainName(*identifier))
    return *identifier;
  return program_invocation_short_name;
}

UserDefaults::UserDefaults(std::string domain, std::string preferencesDirectory)
    : domain_(std::move(domain)),
      preferencesDirectory_(std::move(preferencesDirectory)),
      store_(UserDefaultsStore::forPath(storePath(preferencesDirectory_, domain_))) {}

std::shared_ptr<UserDefaults> UserDefaults::standardUserDefaults() { return withSuiteName({}); }

void UserDefaults::resetStandardUserDefaults() {
  std::lock_guard lock(instances().mutex);
  instances().byDomain.clear();
}

std::shared_ptr<UserDefaults> UserDefaults::withSuiteName(const std::string& suiteName) {
  std::string application = applicationDomainName();
  if (!suiteName.empty() && (suiteName == kGlobalDomain || suiteName == application || !isSafeDomainName(suiteName)))
    return nullptr;
  std::string domain = suiteName.empty() ? application : suiteName;
  Device& current = Device::current();
  std::string device = current.directory();
  Instances& all = instances();
  std::lock_guard lock(all.mutex);
  if (all.deviceDirectory != device) {
    all.deviceDirectory = device;
    all.byDomain.clear();
    std::lock_guard registrationLock(registrationMutex());
    registration().clear();
  }
  auto& slot = all.byDomain[domain];
  if (!slot) slot.reset(new UserDefaults(domain, current.preferencesDirectory()));
  return slot;
}

std::optional<Value> UserDefaults::objectForKey(std::string_view key) const {
  if (auto stored = store_->get(key)) return stored;
  std::lock_guard lock(registrationMutex());
  if (const Value* v = registration().find(key)) return *v;
  return std::nullopt;
}

std::optional<std::string> UserDefaults::stringForKey(std::string_view key) const {
  auto v = objectForKey(key);
  if (!v) return std::nullopt;
  if (v->isString()) return *v->asString();
  if (v->isNumber()) return v->stringValue();
  return std::nullopt;
}

std::optional<Array> UserDefaults::arrayForKey(std::string_view key) const {
  auto v = objectForKey(key);
  if (!v || !v->isArray()) return std::nullopt;
  return *v->asArray();
}

std::optional<std::vector<std::string>> UserDefaults::stringArrayForKey(std::string_view key) const {
  auto array = arrayForKey(key);
  if (!array) return std::nullopt;
  std::vector<std::string> out;
  for (const Value& v : *array) {
    if (!v.isString()) return std::nullopt;
    out.push_back(*v.asString());
  }
  return out;
}

std::optional<Dictionary> UserDefaults::dictionaryForKey(std::string_view key) const {
  auto v = objectForKey(key);
  if (!v || !v->isDictionary()) return std::nullopt;
  return *v->asDictionary();
}

std::optional<Data> UserDefaults::dataForKey(std::string_view key) const {
  auto v = objectForKey(key);
  if (!v || !v->isData()) return std::nullopt;
  return *v->asData();
}

std::optional<Date> UserDefaults::dateForKey(std::string_view key) const {
  auto v = objectForKey(key);
  if (!v || !v->isDate()) return std::nullopt;
  return *v->asDate();
}

std::optional<URL> UserDefaults::URLForKey(std::string_view key) const {
  auto v = objectForKey(key);
  if (!v || !v->isString() || v->asString()->empty()) return std::nullopt;
  const std::string& text = *v->asString();
  if (text[0] != '/' && text[0] != '~')
    if (auto url = URL::withString(text); url && !url->scheme().empty()) return url;
  std::string path = text;
  if (path[0] == '~') {
    const char* home = std::getenv("HOME");
    path = std::string(home ? home : "") + path.substr(1);
  }
  return URL::fileURLWithPath(path);
}

int64_t UserDefaults::integerForKey(std::string_view key) const {
  auto v = objectForKey(key);
  return v && (v->isNumber() || v->isString()) ? v->integerValue() : 0;
}

double UserDefaults::doubleForKey(std::string_view key) const {
  auto v = objectForKey(key);
  return v && (v->isNumber() || v->isString()) ? v->doubleValue() : 0.0;
}

float UserDefaults::floatForKey(std::string_view key) const { return static_cast<float>(doubleForKey(key)); }

bool UserDefaults::boolForKey(std::string_view key) const {
  auto v = objectForKey(key);
  return v && (v->isNumber() || v->isString()) && v->boolValue();
}

void UserDefaults::setObject(const Value& value, std::string_view key) {
  if (value.isNull()) {
    removeObjectForKey(key);
    return;
  }
  // A value the file cannot hold would stay pending and fail every later
  // write of the domain: refused here, as the platform refuses null.
  if (!hasPropertyListForm(value))
    throw Exception(kInvalidArgumentException, "Attempt to insert non-property list object " + value.description() +
                                                   " for key " + std::string(key));
  store_->set(std::string(key), value);
}

void UserDefaults::setURL(const std::optional<URL>& url, std::string_view key) {
  if (!url) {
    removeObjectForKey(key);
    return;
  }
  setObject(Value(url->absoluteString()), key);
}

void UserDefaults::removeObjectForKey(std::string_view key) { store_->set(std::string(key), std::nullopt); }

void UserDefaults::registerDefaults(const Dictionary& defaults) {
  std::lock_guard lock(registrationMutex());
  for (const auto& [key, value] : defaults) registration().set(key, value);
}

Dictionary UserDefaults::dictionaryRepresentation() const {
  Dictionary out;
  {
    std::lock_guard lock(registrationMutex());
    out = registration();
  }
  for (const auto& [key, value] : store_->snapshot()) out.set(key, value);
  return out;
}

bool UserDefaults::synchronize() { return store_->synchronize(); }

std::optional<Dictionary> UserDefaults::persistentDomainForName(const std::string& domainName) const {
  if (!isSafeDomainName(domainName)) return std::nullopt;
  auto store = UserDefaultsStore::forPath(storePath(preferencesDirectory_, domainName));
  if (!store->exists()) return std::nullopt;
  return store->snapshot();
}

void UserDefaults::setPersistentDomain(const Dictionary& domain, const std::string& domainName) {
  if (!isSafeDomainName(domainName)) return;
  if (!hasPropertyListForm(Value(domain)))
    throw Exception(kInvalidArgumentException, "Attempt to set a non-property list domain " + domainName);
  UserDefaultsStore::forPath(storePath(preferencesDirectory_, domainName))->replace(domain);
}

void UserDefaults::removePersistentDomainForName(const std::string& domainName) {
  if (!isSafeDomainName(domainName)) return;
  UserDefaultsStore::forPath(storePath(preferencesDirectory_, domainName))->replace(std::nullopt);
}

}  // namespace ns
