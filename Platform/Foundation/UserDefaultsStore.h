// The file of one user-defaults domain, shared by every UserDefaults of that
// domain in the process. Writes merge the changed keys into the file's
// current content under an advisory lock on "<file>.lock" (which also holds
// a write counter), then replace the file atomically; reads re-read the
// file when its stamp or the counter moved, so other processes' writes show.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "Platform/Foundation/Value.h"

namespace ns {

class UserDefaultsStore {
 public:
  // The one store of `plistPath` in this process.
  static std::shared_ptr<UserDefaultsStore> forPath(const std::string& plistPath);

  std::optional<Value> get(std::string_view key);
  Dictionary snapshot();
  // Whether the file exists.
  bool exists();
  // Sets (or with no value removes) a key and writes it through; false when
  // the write failed (the change stays pending and is retried).
  bool set(std::string key, std::optional<Value> value);
  // Replaces the whole domain; no dictionary removes the file.
  bool replace(const std::optional<Dictionary>& all);
  // Re-reads and retries pending writes.
  bool synchronize();

 private:
  explicit UserDefaultsStore(std::string path);
  struct Stamp {
    dev_t device = 0;
    ino_t inode = 0;
    int64_t seconds = 0, nanoseconds = 0, size = -1;
    uint64_t generation = 0;
    bool operator==(const Stamp&) const = default;
  };
  Stamp stampLocked() const;
  void refreshLocked();
  bool flushLocked();

  const std::string path_, lockPath_;
  std::mutex mutex_;
  Dictionary values_;
  std::optional<Stamp> stamp_;
  std::vector<std::pair<std::string, std::optional<Value>>> pending_;

  friend class UserDefaultsStoreRegistry;
};

}  // namespace ns
