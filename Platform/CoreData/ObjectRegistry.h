// The objects a context holds under their permanent IDs: an open-addressing
// table (linear probing, power-of-two size) in one flat array. A fetch
// registers every row it reads, so registering costs no allocation per
// object and no division, as a node-based map's would.
//
// Iteration order is unspecified; iterating while adding or removing is
// not allowed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "Platform/CoreData/ManagedObjectID.h"

namespace cd {

class ManagedObject;

class ObjectRegistry {
 public:
  struct Entry {
    ManagedObjectID id;  // invalid: the slot is free
    std::shared_ptr<ManagedObject> object;
  };

  size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }

  // The object under `id`, or null.
  ManagedObject* find(const ManagedObjectID& id) const {
    if (slots_.empty()) return nullptr;
    for (size_t i = home(id);; i = (i + 1) & mask()) {
      const Entry& e = slots_[i];
      if (!e.id.isValid()) return nullptr;
      if (e.id == id) return e.object.get();
    }
  }

  // The slot of `id`, made (with a null object) when absent; the flag says
  // whether it was made. The reference is valid until the next change.
  std::pair<std::shared_ptr<ManagedObject>*, bool> findOrAdd(const ManagedObjectID& id) {
    if ((size_ + 1) * 4 > slots_.size() * 3) grow(size_ + 1);
    size_t i = home(id);
    for (;; i = (i + 1) & mask()) {
      Entry& e = slots_[i];
      if (!e.id.isValid()) break;
      if (e.id == id) return {&e.object, false};
    }
    slots_[i].id = id;
    ++size_;
    return {&slots_[i].object, true};
  }

  // Removes `id`; later entries of its run move back so no search stops early.
  void erase(const ManagedObjectID& id) {
    if (slots_.empty()) return;
    size_t i = home(id);
    for (;; i = (i + 1) & mask()) {
      if (!slots_[i].id.isValid()) return;
      if (slots_[i].id == id) break;
    }
    std::shared_ptr<ManagedObject> gone = std::move(slots_[i].object);
    for (size_t j = (i + 1) & mask();; j = (j + 1) & mask()) {
      Entry& next = slots_[j];
      if (!next.id.isValid()) break;
      // An entry moves into the hole only when its home is not between the
      // hole and itself (cyclically): else a search for it would pass it by.
      const size_t h = home(next.id);
      const bool stays = i <= j ? (i < h && h <= j) : (i < h || h <= j);
      if (stays) continue;
      slots_[i] = std::move(next);
      i = j;
    }
    slots_[i].id = ManagedObjectID();
    slots_[i].object.reset();
    --size_;
  }

  // Room for `count` objects in all without growing again.
  void reserve(size_t count) {
    if (count * 4 > slots_.size() * 3) grow(count);
  }

  template <class F>
  void forEach(F&& visit) const {
    for (const Entry& e : slots_) {
      if (e.id.isValid()) visit(e.object.get());
    }
  }

 private:
  size_t mask() const { return slots_.size() - 1; }
  size_t home(const ManagedObjectID& id) const {
    // Rows come in runs of neighbouring keys: eight neighbours share one
    // spot of the table (a cache line or two, no collision among them),
    // while the spots themselves are spread by Fibonacci hashing.
    const uint64_t key = static_cast<uint64_t>(id.primaryKey());
    const uint64_t group = (key >> 3) ^ reinterpret_cast<uintptr_t>(id.entity()) ^
                           (reinterpret_cast<uintptr_t>(id.internedStoreIdentifier()) << 17);
    const size_t spot = static_cast<size_t>((group * 0x9E3779B97F4A7C15ULL) >> shift_);
    return (spot + (key & 7)) & mask();
  }
  void grow(size_t count) {
    size_t capacity = 16;
    while (count * 4 > capacity * 3) capacity *= 2;
    std::vector<Entry> old = std::exchange(slots_, std::vector<Entry>(capacity));
    shift_ = 64;
    for (size_t c = capacity; c > 1; c >>= 1) --shift_;
    for (Entry& e : old) {
      if (!e.id.isValid()) continue;
      size_t i = home(e.id);
      while (slots_[i].id.isValid()) i = (i + 1) & mask();
      slots_[i] = std::move(e);
    }
  }

  std::vector<Entry> slots_;
  size_t size_ = 0;
  int shift_ = 64;
};

}  // namespace cd
