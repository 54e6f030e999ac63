#include "Platform/Foundation/UserDefaultsStore.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "Platform/Foundation/FileManager.h"
#include "Platform/Foundation/PropertyList.h"

namespace ns {

// Every store of the process; at exit, writes that failed earlier get a last try.
class UserDefaultsStoreRegistry {
 public:
  static UserDefaultsStoreRegistry& instance() {
    static UserDefaultsStoreRegistry registry;
    return registry;
  }
  std::shared_ptr<UserDefaultsStore> forPath(const std::string& path) {
    std::lock_guard lock(mutex_);
    auto& slot = stores_[path];
    if (!slot) slot.reset(new UserDefaultsStore(path));
    return slot;
  }
  ~UserDefaultsStoreRegistry() {
    std::lock_guard lock(mutex_);
    for (auto& [path, store] : stores_) {
      std::lock_guard storeLock(store->mutex_);
      if (!store->pending_.empty()) store->flushLocked();
    }
  }

 private:
  std::mutex mutex_;
  std::map<std::string, std::shared_ptr<UserDefaultsStore>> stores_;
};

namespace {

// Holds the exclusive advisory lock of a domain for its scope.
class FileLock {
 public:
  explicit FileLock(const std::string& path) {
    fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd_ < 0) return;
    while (::flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
    }
  }
  ~FileLock() {
    if (fd_ >= 0) ::close(fd_);  // closing releases the lock
  }
  int fd() const { return fd_; }

 private:
  int fd_ = -1;
};

uint64_t readGeneration(int fd) {
  uint64_t generation = 0;
  if (fd < 0 || ::pread(fd, &generation, sizeof generation, 0) != static_cast<ssize_t>(sizeof generation)) return 0;
  return generation;
}

void apply(Dictionary& values, const std::string& key, const std::optional<Value>& value) {
  if (value) values.set(key, *value);
  else values.remove(key);
}

// Settings change often and one by one: the swap must be atomic for other
// processes and survive this one ending, but need not wait for the disk.
// Settings may hold secrets (a passcode an old build kept there): the file
// is its owner's only, like the keychain's.
bool writeDomain(const Dictionary& values, const std::string& path) {
  auto data = dataFromPropertyList(Value(values), PropertyListFormat::Binary, nullptr);
  return data &&
         FileManager::defaultManager().writeData(*data, path, {.atomic = true, .durable = false, .ownerOnly = true});
}

std::string parentOf(const std::string& path) {
  size_t slash = path.rfind('/');
  return slash == std::string::npos || slash == 0 ? std::string("/") : path.substr(0, slash);
}

}  // namespace

std::shared_ptr<UserDefaultsStore> UserDefaultsStore::forPath(const std::string& plistPath) {
  return UserDefaultsStoreRegistry::instance().forPath(plistPath);
}

UserDefaultsStore::UserDefaultsStore(std::string path) : path_(std::move(path)), lockPath_(path_ + ".lock") {}

UserDefaultsStore::~UserDefaultsStore() { unmapGenerationLocked(); }

void UserDefaultsStore::unmapGenerationLocked() {
  if (mappedGeneration_) ::munmap(const_cast<uint64_t*>(mappedGeneration_), sizeof(uint64_t));
  mappedGeneration_ = nullptr;
}

uint64_t UserDefaultsStore::generationLocked() {
  if (mappedGeneration_) return *mappedGeneration_;
  int fd = ::open(lockPath_.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return 0;
  uint64_t generation = readGeneration(fd);
  // Only a file that already holds the counter is mapped: reading a
  // mapping past the end of a shorter file would fault. The file never
  // shrinks (writers only rewrite its first bytes).
  struct stat st;
  if (::fstat(fd, &st) == 0 && st.st_size >= static_cast<off_t>(sizeof(uint64_t))) {
    void* mapped = ::mmap(nullptr, sizeof(uint64_t), PROT_READ, MAP_SHARED, fd, 0);
    if (mapped != MAP_FAILED) {
      mappedGeneration_ = static_cast<const volatile uint64_t*>(mapped);
      mappedDevice_ = st.st_dev;
      mappedInode_ = st.st_ino;
      generation = *mappedGeneration_;
    }
  }
  ::close(fd);
  return generation;
}

UserDefaultsStore::Stamp UserDefaultsStore::stampLocked() {
  Stamp stamp;
  stamp.generation = generationLocked();
  struct stat st;
  if (::stat(path_.c_str(), &st) == 0) {
    stamp.device = st.st_dev;
    stamp.inode = st.st_ino;
    stamp.seconds = st.st_mtim.tv_sec;
    stamp.nanoseconds = st.st_mtim.tv_nsec;
    stamp.size = st.st_size;
  }
  return stamp;
}

void UserDefaultsStore::refreshLocked() {
  Stamp now = stampLocked();
  if (stamp_ && *stamp_ == now) return;
  // The file changed: make sure the mapped counter is still the lock
  // file's (one that was removed and made again is mapped afresh).
  if (mappedGeneration_) {
    struct stat st;
    if (::stat(lockPath_.c_str(), &st) != 0 || st.st_dev != mappedDevice_ || st.st_ino != mappedInode_) {
      unmapGenerationLocked();
      now.generation = generationLocked();
    }
  }
  values_ = readDictionaryFile(path_).value_or(Dictionary{});
  for (const auto& [key, value] : pending_) apply(values_, key, value);
  stamp_ = now;
}

bool UserDefaultsStore::flushLocked() {
  if (pending_.empty()) return true;
  FileManager::defaultManager().createDirectory(parentOf(path_), true);
  FileLock lock(lockPath_);
  if (lock.fd() < 0) return false;
  // Merge into what is on disk now, not into what we read earlier.
  Dictionary merged = readDictionaryFile(path_).value_or(Dictionary{});
  for (const auto& [key, value] : pending_) apply(merged, key, value);
  if (!writeDomain(merged, path_)) return false;
  uint64_t generation = readGeneration(lock.fd()) + 1;
  [[maybe_unused]] ssize_t written = ::pwrite(lock.fd(), &generation, sizeof generation, 0);
  pending_.clear();
  values_ = std::move(merged);
  stamp_ = stampLocked();
  return true;
}

std::optional<Value> UserDefaultsStore::get(std::string_view key) {
  std::lock_guard lock(mutex_);
  refreshLocked();
  if (const Value* v = values_.find(key)) return *v;
  return std::nullopt;
}

Dictionary UserDefaultsStore::snapshot() {
  std::lock_guard lock(mutex_);
  refreshLocked();
  return values_;
}

bool UserDefaultsStore::exists() {
  std::lock_guard lock(mutex_);
  return ::access(path_.c_str(), F_OK) == 0;
}

bool UserDefaultsStore::set(std::string key, std::optional<Value> value) {
  std::lock_guard lock(mutex_);
  refreshLocked();
  apply(values_, key, value);
  // A newer change of the same key replaces an older pending one.
  std::erase_if(pending_, [&](const auto& entry) { return entry.first == key; });
  pending_.emplace_back(std::move(key), std::move(value));
  return flushLocked();
}

bool UserDefaultsStore::replace(const std::optional<Dictionary>& all) {
  std::lock_guard lock(mutex_);
  FileManager::defaultManager().createDirectory(parentOf(path_), true);
  FileLock fileLock(lockPath_);
  if (fileLock.fd() < 0) return false;
  bool ok;
  if (all) {
    ok = writeDomain(*all, path_);
  } else {
    ok = ::unlink(path_.c_str()) == 0 || errno == ENOENT;
  }
  if (!ok) return false;
  uint64_t generation = readGeneration(fileLock.fd()) + 1;
  [[maybe_unused]] ssize_t written = ::pwrite(fileLock.fd(), &generation, sizeof generation, 0);
  pending_.clear();
  values_ = all.value_or(Dictionary{});
  stamp_ = stampLocked();
  return true;
}

bool UserDefaultsStore::synchronize() {
  std::lock_guard lock(mutex_);
  bool ok = flushLocked();
  refreshLocked();
  return ok;
}

}  // namespace ns
