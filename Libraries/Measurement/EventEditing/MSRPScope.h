// A scope: the names a program declares at one level, and the chain of
// enclosing scopes up to a root (no parent). Reading a name climbs the
// chain; declaring defines it here; assigning updates the nearest scope
// that has it, or defines it here when none does. A fixed name (a
// constant) and a frozen scope ignore writes without an error.
//
// The root of a chain also keeps the chain's heap (MSRPHeap.h) with its
// run budget (MSRPRunBudget.h); every scope reaches its root directly,
// without a name look-up. A scope holds its parent, so a chain lives as
// long as its deepest scope does.
#pragma once

#include <memory>
#include <string>

#include "Libraries/Measurement/EventEditing/MSRPHeap.h"
#include "Libraries/Measurement/EventEditing/MSRPPropertyMap.h"
#include "Libraries/Measurement/EventEditing/MSRPRuntimeValue.h"

class MSRPScope : public std::enable_shared_from_this<MSRPScope>, public MSRPHeapObject {
 public:
  // Null makes a root.
  explicit MSRPScope(std::shared_ptr<MSRPScope> parentScope);
  ~MSRPScope() override;

  std::shared_ptr<MSRPScope> createChildScope();
  const std::shared_ptr<MSRPScope>& parentScope() const { return parent_; }

  // Whether this scope or an enclosing one has the name.
  bool hasName(const std::u16string& name) const;
  // The nearest binding's value, or undefined.
  MSRPValueRef valueForName(const std::u16string& name) const;
  // Declares (or redeclares) the name here.
  void addValue(MSRPValueRef value, const std::u16string& name);
  // Declares the name here as a constant.
  void addImmutableValue(MSRPValueRef value, const std::u16string& name);
  // Assigns: nothing when a scope on the way to the binding (this one
  // included) is frozen; the binding's scope stores it unless the name is
  // fixed there; with no binding anywhere it is defined here.
  void setValue(MSRPValueRef value, const std::u16string& name);
  // Freezes this scope's own names.
  void makeImmutable() { contents_.makeImmutable(); }

  // The chain's root, its run budget, and its heap (made when first asked).
  MSRPScope& rootScope() { return *root_; }
  MSRPRunBudget& runBudget() { return heap().runBudget(); }
  MSRPHeap& heap();

  void forEachReference(MSRPReferenceVisitor& visitor) const override;
  void dropReferences() override;
  std::weak_ptr<const void> weakOwner() const override { return weak_from_this(); }

  // Scopes alive in the process now, so tests can see that memory returns.
  static long liveCount();

 private:
  static std::shared_ptr<MSRPHeap> heapOf(const std::shared_ptr<MSRPScope>& parent);

  std::shared_ptr<MSRPScope> parent_;
  MSRPScope* root_;  // this for a root; the parents keep it alive
  MSRPPropertyMap contents_;
  std::shared_ptr<MSRPHeap> heap_;   // a root's only
};
