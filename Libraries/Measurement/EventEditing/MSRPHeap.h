// Memory of the evaluator's values that hold other values.
//
// Maps, arrays, functions, scopes and return values own what they hold
// through shared pointers, and programs make cycles of them as a matter of
// course: a function declared in a scope is held by that scope and holds it
// as its defining scope; a map may be stored in itself. Reference counts
// alone never free a cycle, so each chain of scopes has a heap (made by its
// root scope when first needed) that knows every such object made while it
// was current, and collects the cycles nothing outside them holds:
//
//   - an object counts as held from outside when it has more shared owners
//     than references from other objects of the heap (a local, a caller,
//     an object of another heap), or when no shared pointer owns it;
//   - whatever such objects reach stays; everything else is garbage, whose
//     references are dropped, which frees it.
//
// A heap is current on a thread while an MSRPHeapActivation of it lives:
// statement evaluation activates its chain's heap, and MSRPRuntime
// activates its own in each entry point. When the last activation of a heap
// ends and the heap has grown to twice what the last collection left (and
// past a floor), it collects; MSRPRuntime collects once more when it goes.
//
// Rules for the objects: forEachReference names each shared pointer to a
// value or scope the object holds, exactly once per pointer; code that
// calls into an object holds a shared pointer to it. A heap object may be
// released on any thread; collecting runs on the thread that evaluates.
//
// Releasing also never recurses: an object that goes hands what it held to
// MSRPReleaseLater, which frees it in a loop, so a chain of a million maps
// each holding the next is freed without a million nested destructors.
#pragma once

#include <cstddef>
#include <memory>
#include <mutex>

#include "Libraries/Measurement/EventEditing/MSRPRunBudget.h"

class MSRPHeap;
class MSRPHeapObject;

// What forEachReference reports to: each referenced object, or null for a
// reference to something that is not a heap object.
class MSRPReferenceVisitor {
 public:
  virtual void visit(const MSRPHeapObject* target) = 0;

 protected:
  ~MSRPReferenceVisitor() = default;
};

class MSRPHeapObject {
 public:
  MSRPHeapObject(const MSRPHeapObject&) = delete;
  MSRPHeapObject& operator=(const MSRPHeapObject&) = delete;

  virtual void forEachReference(MSRPReferenceVisitor& visitor) const = 0;
  // Lets go of every reference held (only ever called on garbage).
  virtual void dropReferences() = 0;
  // The object's shared owners; empty when no shared pointer owns it.
  virtual std::weak_ptr<const void> weakOwner() const = 0;

 protected:
  // Joins the heap current on this thread, if any.
  MSRPHeapObject();
  // Joins `heap`; none when null.
  explicit MSRPHeapObject(std::shared_ptr<MSRPHeap> heap);
  virtual ~MSRPHeapObject();
  // Joins `heap` later (an object made before its heap); once only.
  void join(std::shared_ptr<MSRPHeap> heap);

 private:
  friend class MSRPHeap;
  friend struct MSRPHeapCollection;

  std::shared_ptr<MSRPHeap> heap_;
  MSRPHeapObject* previous_ = nullptr;
  MSRPHeapObject* next_ = nullptr;
  // Scratch of a collection, guarded by the heap's lock.
  mutable long outsideOwners_ = 0;
  mutable bool reachable_ = false;
};

class MSRPHeap : public std::enable_shared_from_this<MSRPHeap> {
 public:
  MSRPHeap() = default;
  MSRPHeap(const MSRPHeap&) = delete;
  MSRPHeap& operator=(const MSRPHeap&) = delete;

  // The heap new objects join on this thread, or null.
  static MSRPHeap* current();

  // Frees every cycle that nothing outside the heap holds.
  void collect();
  // How many objects belong to the heap now.
  size_t objectCount() const;
  // What a run in the heap's chain may still spend (MSRPRunBudget.h);
  // touched only on the evaluating thread.
  MSRPRunBudget& runBudget() { return runBudget_; }
  // What the chain's values hold alive (MSRPRunBudget.h).
  const std::shared_ptr<MSRPLiveSize>& liveSize() const { return liveSize_; }

 private:
  friend class MSRPHeapObject;
  friend class MSRPHeapActivation;
  // Collections wait until the heap holds at least this many objects.
  static constexpr size_t kCollectionFloor = 4096;

  void add(MSRPHeapObject* object);
  void remove(MSRPHeapObject* object);
  bool collectionDue() const;

  mutable std::mutex mutex_;
  MSRPHeapObject* first_ = nullptr;
  size_t count_ = 0;
  size_t collectAt_ = kCollectionFloor;
  // Activations alive now; touched only on the evaluating thread.
  int activations_ = 0;
  MSRPRunBudget runBudget_;
  std::shared_ptr<MSRPLiveSize> liveSize_ = std::make_shared<MSRPLiveSize>();
};

// Makes a heap current on this thread for its lifetime (the previous one
// again after). The last activation of a heap to end collects it when due.
class MSRPHeapActivation {
 public:
  explicit MSRPHeapActivation(MSRPHeap* heap);
  ~MSRPHeapActivation();
  MSRPHeapActivation(const MSRPHeapActivation&) = delete;
  MSRPHeapActivation& operator=(const MSRPHeapActivation&) = delete;

 private:
  MSRPHeap* heap_;
  MSRPHeap* previous_;
};

// Drops a reference without recursing: when it is the last one, the object
// is freed in a loop on this thread after every release it starts.
void MSRPReleaseLater(std::shared_ptr<const void> reference);
