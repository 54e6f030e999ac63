#include "Libraries/Measurement/EventEditing/MSRPScope.h"

#include <atomic>
#include <utility>

#include "Libraries/Measurement/EventEditing/MSRPUndefinedValue.h"

std::shared_ptr<MSRPHeap> MSRPScope::heapOf(const std::shared_ptr<MSRPScope>& parent) {
  return parent ? parent->heap().shared_from_this() : nullptr;
}

// A root joins its heap only when the heap is made; a child joins its
// root's heap at once.
namespace {
std::atomic<long> gLiveScopes{0};
}  // namespace

MSRPScope::MSRPScope(std::shared_ptr<MSRPScope> parentScope)
    : MSRPHeapObject(heapOf(parentScope)), parent_(std::move(parentScope)), root_(parent_ ? parent_->root_ : this) {
  gLiveScopes.fetch_add(1, std::memory_order_relaxed);
}

MSRPScope::~MSRPScope() {
  gLiveScopes.fetch_sub(1, std::memory_order_relaxed);
  MSRPReleaseLater(std::move(parent_));
}

long MSRPScope::liveCount() { return gLiveScopes.load(std::memory_order_relaxed); }

std::shared_ptr<MSRPScope> MSRPScope::createChildScope() { return std::make_shared<MSRPScope>(shared_from_this()); }

MSRPHeap& MSRPScope::heap() {
  if (root_ != this) return root_->heap();
  if (!heap_) {
    heap_ = std::make_shared<MSRPHeap>();
    join(heap_);
  }
  return *heap_;
}

bool MSRPScope::hasName(const std::u16string& name) const {
  for (const MSRPScope* scope = this; scope != nullptr; scope = scope->parent_.get()) {
    if (scope->contents_.hasName(name)) return true;
  }
  return false;
}

MSRPValueRef MSRPScope::valueForName(const std::u16string& name) const {
  for (const MSRPScope* scope = this; scope != nullptr; scope = scope->parent_.get()) {
    if (const MSRPValueRef* value = scope->contents_.find(name)) return *value;
  }
  return MSRPUndefinedValue::sharedInstance();
}

void MSRPScope::addValue(MSRPValueRef value, const std::u16string& name) { contents_.setValue(std::move(value), name); }

void MSRPScope::addImmutableValue(MSRPValueRef value, const std::u16string& name) {
  contents_.setImmutableValue(std::move(value), name);
}

void MSRPScope::setValue(MSRPValueRef value, const std::u16string& name) {
  for (MSRPScope* scope = this; scope != nullptr; scope = scope->parent_.get()) {
    if (scope->contents_.isImmutable()) return;
    if (scope->contents_.hasName(name)) {
      scope->contents_.setValue(std::move(value), name);
      return;
    }
    if (!scope->parent_ || !scope->parent_->hasName(name)) {
      scope->contents_.setValue(std::move(value), name);
      return;
    }
  }
}

void MSRPScope::forEachReference(MSRPReferenceVisitor& visitor) const {
  if (parent_) visitor.visit(parent_.get());
  contents_.forEachReference(visitor);
}

void MSRPScope::dropReferences() {
  contents_.dropReferences();
  root_ = this;
  MSRPReleaseLater(std::move(parent_));
}
