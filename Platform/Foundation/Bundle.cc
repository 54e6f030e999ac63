#include "Platform/Foundation/Bundle.h"

#include <dirent.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>

#include "Platform/Foundation/Device.h"
#include "Platform/Foundation/FileManager.h"
#include "Platform/Foundation/Locale.h"
#include "Platform/Foundation/StringsTable.h"

namespace ns {
namespace {

std::mutex& registryMutex() {
  static std::mutex m;
  return m;
}
std::map<std::string, std::shared_ptr<Bundle>>& registry() {
  static std::map<std::string, std::shared_ptr<Bundle>> bundles;
  return bundles;
}
std::string& mainBundleOverride() {
  static std::string path;
  return path;
}
std::shared_ptr<Bundle>& mainBundleInstance() {
  static std::shared_ptr<Bundle> bundle;
  return bundle;
}

bool isDirectory(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}
bool isFile(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

std::string normalized(const std::string& path) {
  std::string p = path;
  while (p.size() > 1 && p.back() == '/') p.pop_back();
  return p;
}

std::string registryKey(const std::string& path) {
  return normalized(path[0] == '/' ? path : FileManager::defaultManager().currentDirectoryPath() + "/" + path);
}

std::string executablePath() {
  char buffer[4096];
  ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  return n > 0 ? std::string(buffer, static_cast<size_t>(n)) : std::string();
}

// Counts the moves of the main bundle, so a bundle read for an old path is
// never installed after a move.
uint64_t& mainBundleGeneration() {
  static uint64_t generation = 0;
  return generation;
}

std::string defaultMainBundlePath() {
  if (const char* env = std::getenv("QUILLBOX_BUNDLE"); env && *env) return env;
  std::string exe = executablePath();
  size_t slash = exe.rfind('/');
  if (slash == std::string::npos) return FileManager::defaultManager().currentDirectoryPath();
  std::string dir = slash == 0 ? "/" : exe.substr(0, slash);
  std::string wanted = exe.substr(slash + 1) + ".app";
  if (auto names = FileManager::defaultManager().contentsOfDirectory(dir)) {
    for (const auto& name : *names)
      if (::strcasecmp(name.c_str(), wanted.c_str()) == 0 && isDirectory(dir + "/" + name)) return dir + "/" + name;
  }
  return dir;
}

std::string joinPath(std::initializer_list<std::string_view> parts) {
  std::string out;
  for (auto part : parts) {
    if (part.empty()) continue;
    if (!out.empty() && out.back() != '/') out += '/';
    out += part;
  }
  return out;
}

std::string fileName(std::string_view name, std::string_view extension) {
  std::string file(name);
  if (!extension.empty()) {
    if (extension.front() != '.') file += '.';
    file += extension;
  }
  return file;
}

// The first file (by name) in `dir` with `extension`, or `name.extension` itself.
std::optional<std::string> findIn(const std::string& dir, std::string_view name, std::string_view extension) {
  if (!name.empty()) {
    std::string path = joinPath({dir, fileName(name, extension)});
    if (::access(path.c_str(), F_OK) == 0) return path;
    return std::nullopt;
  }
  auto names = FileManager::defaultManager().contentsOfDirectory(dir);
  if (!names) return std::nullopt;
  std::string suffix = fileName("", extension);
  for (const auto& entry : *names)
    if (entry.size() > suffix.size() && entry.compare(entry.size() - suffix.size(), suffix.size(), suffix) == 0)
      return joinPath({dir, entry});
  return std::nullopt;
}

}  // namespace

Bundle::Bundle(std::string path) : path_(std::move(path)) {
  info_ = readDictionaryFile(path_ + "/Info.plist").value_or(Dictionary{});
}

std::shared_ptr<Bundle> Bundle::mainBundle() {
  for (;;) {
    std::string path;
    uint64_t generation;
    {
      std::lock_guard lock(registryMutex());
      if (mainBundleInstance()) return mainBundleInstance();
      path = mainBundleOverride().empty() ? defaultMainBundlePath() : mainBundleOverride();
      generation = mainBundleGeneration();
    }
    std::shared_ptr<Bundle> bundle = bundleWithPath(path);
    if (!bundle) bundle = std::shared_ptr<Bundle>(new Bundle(normalized(path)));  // a missing folder: no resources
    std::lock_guard lock(registryMutex());
    if (mainBundleInstance()) return mainBundleInstance();
    // The main bundle moved while this one was read (another thread set it):
    // the bundle read for the old path must not become the main one.
    if (generation != mainBundleGeneration()) continue;
    mainBundleInstance() = bundle;
    return bundle;
  }
}

void Bundle::setMainBundlePath(const std::string& path) {
  std::lock_guard lock(registryMutex());
  mainBundleOverride() = path;
  mainBundleInstance().reset();
  ++mainBundleGeneration();
  // A test may rewrite the folder between uses: read it afresh.
  if (!path.empty()) registry().erase(registryKey(path));
}

std::shared_ptr<Bundle> Bundle::bundleWithPath(const std::string& path) {
  if (path.empty() || !isDirectory(path)) return nullptr;
  std::string key = registryKey(path);
  std::lock_guard lock(registryMutex());
  auto& slot = registry()[key];
  if (!slot) slot = std::shared_ptr<Bundle>(new Bundle(key));
  return slot;
}

URL Bundle::appStoreReceiptURL() const {
  Device& device = Device::current();
  const char* name = device.facts().sandboxReceipt ? "sandboxReceipt" : "receipt";
  return URL::fileURLWithPath(device.appDirectory() + "/StoreKit/" + name, false);
}

std::optional<std::string> Bundle::bundleIdentifier() const {
  const Value* v = info_.find(kIdentifierKey);
  if (!v || !v->isString() || v->asString()->empty()) return std::nullopt;
  return *v->asString();
}

std::optional<std::string> Bundle::pathForResource(std::string_view name, std::string_view extension,
                                                   std::string_view subdirectory) const {
  if (auto found = findIn(joinPath({path_, subdirectory}), name, extension)) return found;
  for (const auto& localization : preferredLocalizations())
    if (auto found = pathForResource(name, extension, subdirectory, localization)) return found;
  return std::nullopt;
}

std::optional<URL> Bundle::urlForResource(std::string_view name, std::string_view extension,
                                          std::string_view subdirectory) const {
  auto path = pathForResource(name, extension, subdirectory);
  if (!path) return std::nullopt;
  return URL::fileURLWithPath(*path);
}

std::optional<std::string> Bundle::pathForResource(std::string_view name, std::string_view extension,
                                                   std::string_view subdirectory,
                                                   std::string_view localization) const {
  if (localization.empty()) return std::nullopt;
  std::string lproj = std::string(localization) + ".lproj";
  return findIn(joinPath({path_, lproj, subdirectory}), name, extension);
}

std::vector<std::string> Bundle::pathsForResourcesOfType(std::string_view extension,
                                                         std::string_view subdirectory) const {
  std::vector<std::string> out;
  std::string dir = joinPath({path_, subdirectory});
  auto names = FileManager::defaultManager().contentsOfDirectory(dir);
  if (!names) return out;
  std::string suffix = fileName("", extension);
  for (const auto& entry : *names)
    if (entry.size() > suffix.size() && entry.compare(entry.size() - suffix.size(), suffix.size(), suffix) == 0)
      out.push_back(joinPath({dir, entry}));
  return out;
}

std::vector<std::string> Bundle::localizations() const {
  std::vector<std::string> out;
  auto names = FileManager::defaultManager().contentsOfDirectory(path_);
  if (!names) return out;
  for (const auto& entry : *names)
    if (entry.size() > 6 && entry.compare(entry.size() - 6, 6, ".lproj") == 0 && isDirectory(path_ + "/" + entry))
      out.push_back(entry.substr(0, entry.size() - 6));
  return out;
}

std::string Bundle::developmentLocalization() const {
  const Value* v = info_.find(kDevelopmentRegionKey);
  return v && v->isString() && !v->asString()->empty() ? *v->asString() : std::string("en");
}

std::vector<std::string> Bundle::preferredLocalizations() const {
  std::string locale = Device::isBooted() ? Device::current().facts().localeIdentifier : std::string("en_US");
  std::vector<std::string> candidates;
  if (!locale.empty()) {
    candidates.push_back(locale);
    std::string dashed = locale;
    std::replace(dashed.begin(), dashed.end(), '_', '-');
    candidates.push_back(dashed);
    candidates.push_back(locale.substr(0, locale.find_first_of("_-")));
  }
  candidates.push_back(developmentLocalization());
  candidates.push_back("Base");
  std::vector<std::string> available = localizations(), out;
  for (const auto& c : candidates)
    if (std::find(available.begin(), available.end(), c) != available.end() &&
        std::find(out.begin(), out.end(), c) == out.end())
      out.push_back(c);
  return out;
}

namespace {

// "pt_BR" and "PT-br" compare the same.
std::string normalizedTag(std::string tag) {
  for (char& c : tag) c = c == '_' ? '-' : static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return tag;
}

std::string languageOfTag(const std::string& normalized) { return normalized.substr(0, normalized.find('-')); }

}  // namespace

std::vector<std::string> Bundle::preferredLocalizationsFromArray(const std::vector<std::string>& localizations,
                                                                 const std::vector<std::string>& preferences) {
  std::vector<std::string> out;
  auto take = [&](const std::string& localization) {
    if (std::find(out.begin(), out.end(), localization) == out.end()) out.push_back(localization);
  };
  for (const auto& preference : preferences) {
    std::string wanted = normalizedTag(preference);
    if (wanted.empty()) continue;
    for (const auto& localization : localizations)
      if (normalizedTag(localization) == wanted) take(localization);
    // "de-AT" settles for "de" before any other German, and "de" for "de-DE".
    std::string language = languageOfTag(wanted);
    for (const auto& localization : localizations)
      if (normalizedTag(localization) == language) take(localization);
    for (const auto& localization : localizations)
      if (languageOfTag(normalizedTag(localization)) == language) take(localization);
  }
  return out.empty() ? localizations : out;
}

std::vector<std::string> Bundle::preferredLocalizationsFromArray(const std::vector<std::string>& localizations) {
  return preferredLocalizationsFromArray(localizations, Locale::preferredLanguages());
}

const Dictionary* Bundle::table(const std::string& name, const std::string& localization) const {
  std::string key = localization + "/" + name;
  std::lock_guard lock(tablesMutex_);
  auto it = tables_.find(key);
  if (it == tables_.end()) {
    std::optional<Dictionary> parsed;
    std::string file = joinPath({path_, localization.empty() ? "" : localization + ".lproj", name + ".strings"});
    if (isFile(file))
      if (auto bytes = FileManager::defaultManager().contentsAtPath(file)) parsed = parseStringsTable(*bytes);
    it = tables_.emplace(key, std::move(parsed)).first;
  }
  return it->second ? &*it->second : nullptr;
}

std::string Bundle::localizedString(const std::string& key, const std::string& value, const std::string& table) const {
  std::string name = table.empty() ? "Localizable" : table;
  std::vector<std::string> places = preferredLocalizations();
  places.push_back("");  // an unlocalized table last
  for (const auto& localization : places) {
    if (const Dictionary* strings = this->table(name, localization))
      if (const Value* v = strings->find(key); v && v->isString()) return *v->asString();
  }
  return value.empty() ? key : value;
}

}  // namespace ns
