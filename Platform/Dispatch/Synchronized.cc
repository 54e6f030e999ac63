#include "Platform/Dispatch/Synchronized.h"

#include <memory>
#include <mutex>
#include <unordered_map>

namespace dispatch {
namespace {

struct Entry {
  std::recursive_mutex mutex;
  int users = 0;
};

struct Table {
  std::mutex mutex;
  std::unordered_map<const void*, std::unique_ptr<Entry>> entries;
};

Table& table() {
  static Table t;
  return t;
}

}  // namespace

SynchronizedScope::SynchronizedScope(const void* object) : object_(object) {
  Entry* entry;
  {
    std::lock_guard lock(table().mutex);
    auto& slot = table().entries[object];
    if (!slot) slot = std::make_unique<Entry>();
    entry = slot.get();
    ++entry->users;
  }
  entry->mutex.lock();
  entry_ = entry;
}

SynchronizedScope::~SynchronizedScope() {
  auto* entry = static_cast<Entry*>(entry_);
  entry->mutex.unlock();
  std::lock_guard lock(table().mutex);
  if (--entry->users == 0) table().entries.erase(object_);
}

}  // namespace dispatch
