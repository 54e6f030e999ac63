// The members of one object's to-many relationship once loaded: kept in
// order of arrival, with a hash index so that adding (which must not add a
// member twice) and removing cost the same in a folder of ten notes as in
// one of a hundred thousand. A removal leaves a hole that the next reading
// of the list closes, so removing many members one by one stays linear.
#pragma once

#include <cstddef>
#include <unordered_map>
#include <vector>

namespace cd {

class ManagedObject;

class ToManySet {
 public:
  bool loaded = false;

  size_t size() const { return position_.size(); }
  bool contains(ManagedObject* member) const { return position_.count(member) > 0; }

  // False when it was a member already.
  bool add(ManagedObject* member) {
    if (!position_.emplace(member, slots_.size()).second) return false;
    slots_.push_back(member);
    return true;
  }
  void remove(ManagedObject* member) {
    auto it = position_.find(member);
    if (it == position_.end()) return;
    slots_[it->second] = nullptr;
    position_.erase(it);
    ++holes_;
  }
  // Replaces the members (which must be distinct).
  void assign(std::vector<ManagedObject*> members) {
    slots_ = std::move(members);
    holes_ = 0;
    position_.clear();
    position_.reserve(slots_.size());
    for (size_t i = 0; i < slots_.size(); ++i) position_.emplace(slots_[i], i);
  }
  void clear() {
    slots_.clear();
    position_.clear();
    holes_ = 0;
    loaded = false;
  }

  // The members in order of arrival.
  const std::vector<ManagedObject*>& members() const {
    if (holes_ > 0) compact();
    return slots_;
  }

 private:
  void compact() const {
    size_t kept = 0;
    for (ManagedObject* member : slots_) {
      if (!member) continue;
      position_[member] = kept;
      slots_[kept++] = member;
    }
    slots_.resize(kept);
    holes_ = 0;
  }

  mutable std::vector<ManagedObject*> slots_;  // nullptr for a removed member
  mutable std::unordered_map<ManagedObject*, size_t> position_;
  mutable size_t holes_ = 0;
};

}  // namespace cd
