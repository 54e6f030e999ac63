#include "Libraries/Measurement/EventEditing/MSRPPropertyMap.h"

#include <utility>

#include "Libraries/Measurement/EventEditing/MSRPUndefinedValue.h"

MSRPPropertyMap::~MSRPPropertyMap() { dropReferences(); }

const MSRPPropertyMap::Entry* MSRPPropertyMap::entry(const std::u16string& name) const {
  if (!index_.empty()) {
    auto found = index_.find(name);
    return found == index_.end() ? nullptr : &entries_[found->second];
  }
  for (const Entry& e : entries_) {
    if (e.name == name) return &e;
  }
  return nullptr;
}

MSRPPropertyMap::Entry* MSRPPropertyMap::entry(const std::u16string& name) {
  return const_cast<Entry*>(static_cast<const MSRPPropertyMap*>(this)->entry(name));
}

bool MSRPPropertyMap::hasName(const std::u16string& name) const { return entry(name) != nullptr; }

const MSRPValueRef* MSRPPropertyMap::find(const std::u16string& name) const {
  const Entry* e = entry(name);
  return e ? &e->value : nullptr;
}

MSRPValueRef MSRPPropertyMap::valueForName(const std::u16string& name) const {
  const Entry* e = entry(name);
  return e ? e->value : MSRPUndefinedValue::sharedInstance();
}

void MSRPPropertyMap::store(MSRPValueRef value, const std::u16string& name, bool fix) {
  if (immutable_) return;
  value = MSRPValueOrUndefined(std::move(value));
  if (Entry* e = entry(name)) {
    if (e->fixed) return;
    // The old value may be the last owner of a long chain.
    MSRPReleaseLater(std::exchange(e->value, std::move(value)));
    e->fixed = fix;
    return;
  }
  entries_.push_back(Entry{name, std::move(value), fix});
  charge_.set(charge_.units() + entryUnits(name));
  if (!index_.empty()) {
    index_.emplace(name, entries_.size() - 1);
  } else if (entries_.size() > kIndexedSize) {
    reindex();
  }
}

void MSRPPropertyMap::setValue(MSRPValueRef value, const std::u16string& name) { store(std::move(value), name, false); }

void MSRPPropertyMap::setImmutableValue(MSRPValueRef value, const std::u16string& name) {
  store(std::move(value), name, true);
}

void MSRPPropertyMap::removeValueForName(const std::u16string& name) {
  if (immutable_) return;
  for (auto it = entries_.begin(); it != entries_.end(); ++it) {
    if (it->name != name) continue;
    if (it->fixed) return;
    MSRPReleaseLater(std::move(it->value));
    charge_.set(charge_.units() - entryUnits(it->name));
    entries_.erase(it);
    if (!index_.empty()) reindex();
    return;
  }
}

std::vector<std::u16string> MSRPPropertyMap::allNames() const {
  std::vector<std::u16string> names;
  names.reserve(entries_.size());
  for (const Entry& e : entries_) names.push_back(e.name);
  return names;
}

void MSRPPropertyMap::reindex() {
  index_.clear();
  if (entries_.size() <= kIndexedSize) return;
  for (size_t i = 0; i < entries_.size(); ++i) index_.emplace(entries_[i].name, i);
}

void MSRPPropertyMap::forEachReference(MSRPReferenceVisitor& visitor) const {
  for (const Entry& e : entries_) MSRPVisitValue(visitor, e.value);
}

void MSRPPropertyMap::dropReferences() {
  for (Entry& e : entries_) MSRPReleaseLater(std::move(e.value));
  entries_.clear();
  index_.clear();
  charge_.set(0);
}
