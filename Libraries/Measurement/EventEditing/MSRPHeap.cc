#include "Libraries/Measurement/EventEditing/MSRPHeap.h"

#include <utility>
#include <vector>

namespace {

thread_local MSRPHeap* tCurrentHeap = nullptr;

struct PendingReleases {
  std::vector<std::shared_ptr<const void>> references;
  bool draining = false;
};
thread_local PendingReleases tPending;

}  // namespace

// The two passes of a collection over one heap's objects (the heap's lock
// held): counting the references inside, then marking what the roots reach.
struct MSRPHeapCollection {
  static bool inHeap(const MSRPHeapObject* object, const MSRPHeap* heap) {
    return object != nullptr && object->heap_.get() == heap;
  }

  class CountInside final : public MSRPReferenceVisitor {
   public:
    explicit CountInside(const MSRPHeap* heap) : heap_(heap) {}
    void visit(const MSRPHeapObject* target) override {
      if (inHeap(target, heap_)) --target->outsideOwners_;
    }

   private:
    const MSRPHeap* heap_;
  };

  class Mark final : public MSRPReferenceVisitor {
   public:
    explicit Mark(const MSRPHeap* heap) : heap_(heap) {}
    void visit(const MSRPHeapObject* target) override {
      if (!inHeap(target, heap_) || target->reachable_) return;
      target->reachable_ = true;
      work_.push_back(target);
    }
    // Marks everything reachable from what was visited so far.
    void drain() {
      while (!work_.empty()) {
        const MSRPHeapObject* object = work_.back();
        work_.pop_back();
        object->forEachReference(*this);
      }
    }

   private:
    const MSRPHeap* heap_;
    std::vector<const MSRPHeapObject*> work_;
  };
};

MSRPHeapObject::MSRPHeapObject() {
  if (tCurrentHeap != nullptr) join(tCurrentHeap->shared_from_this());
}

MSRPHeapObject::MSRPHeapObject(std::shared_ptr<MSRPHeap> heap) { join(std::move(heap)); }

MSRPHeapObject::~MSRPHeapObject() {
  if (heap_) heap_->remove(this);
}

void MSRPHeapObject::join(std::shared_ptr<MSRPHeap> heap) {
  if (!heap) return;
  heap_ = std::move(heap);
  heap_->add(this);
}

MSRPHeap* MSRPHeap::current() { return tCurrentHeap; }

void MSRPHeap::add(MSRPHeapObject* object) {
  std::lock_guard lock(mutex_);
  object->next_ = first_;
  if (first_ != nullptr) first_->previous_ = object;
  first_ = object;
  ++count_;
}

void MSRPHeap::remove(MSRPHeapObject* object) {
  std::lock_guard lock(mutex_);
  if (object->previous_ != nullptr) {
    object->previous_->next_ = object->next_;
  } else {
    first_ = object->next_;
  }
  if (object->next_ != nullptr) object->next_->previous_ = object->previous_;
  --count_;
}

size_t MSRPHeap::objectCount() const {
  std::lock_guard lock(mutex_);
  return count_;
}

bool MSRPHeap::collectionDue() const {
  std::lock_guard lock(mutex_);
  return count_ >= collectAt_;
}

void MSRPHeap::collect() {
  // Strong references to the garbage keep every piece of it alive until
  // all of it has dropped its references, so that none is freed while
  // another is still being emptied.
  std::vector<std::shared_ptr<const void>> garbageOwners;
  std::vector<MSRPHeapObject*> garbage;
  {
    std::lock_guard lock(mutex_);
    for (MSRPHeapObject* o = first_; o != nullptr; o = o->next_) {
      o->outsideOwners_ = o->weakOwner().use_count();
      o->reachable_ = false;
    }
    // An object that no shared pointer owns (a value on a native stack)
    // is held from outside whatever points at it.
    std::vector<const MSRPHeapObject*> unowned;
    for (MSRPHeapObject* o = first_; o != nullptr; o = o->next_) {
      if (o->outsideOwners_ == 0) unowned.push_back(o);
    }
    MSRPHeapCollection::CountInside inside(this);
    for (MSRPHeapObject* o = first_; o != nullptr; o = o->next_) o->forEachReference(inside);

    MSRPHeapCollection::Mark mark(this);
    for (const MSRPHeapObject* o : unowned) mark.visit(o);
    for (MSRPHeapObject* o = first_; o != nullptr; o = o->next_) {
      if (o->outsideOwners_ > 0) mark.visit(o);
    }
    mark.drain();

    for (MSRPHeapObject* o = first_; o != nullptr; o = o->next_) {
      if (o->reachable_) continue;
      std::shared_ptr<const void> owner = o->weakOwner().lock();
      if (!owner) continue;  // already on its way out
      garbageOwners.push_back(std::move(owner));
      garbage.push_back(o);
    }
    size_t survivors = count_ - garbage.size();
    collectAt_ = survivors * 2 > kCollectionFloor ? survivors * 2 : kCollectionFloor;
  }
  for (MSRPHeapObject* o : garbage) o->dropReferences();
  for (auto& owner : garbageOwners) MSRPReleaseLater(std::move(owner));
}

MSRPHeapActivation::MSRPHeapActivation(MSRPHeap* heap) : heap_(heap), previous_(tCurrentHeap) {
  tCurrentHeap = heap_;
  if (heap_ != nullptr) ++heap_->activations_;
}

MSRPHeapActivation::~MSRPHeapActivation() {
  tCurrentHeap = previous_;
  if (heap_ != nullptr && --heap_->activations_ == 0 && heap_->collectionDue()) heap_->collect();
}

void MSRPReleaseLater(std::shared_ptr<const void> reference) {
  if (!reference) return;
  tPending.references.push_back(std::move(reference));
  if (tPending.draining) return;
  tPending.draining = true;
  while (!tPending.references.empty()) {
    std::shared_ptr<const void> next = std::move(tPending.references.back());
    tPending.references.pop_back();
    next.reset();  // may hand on what the freed object held
  }
  tPending.draining = false;
}
