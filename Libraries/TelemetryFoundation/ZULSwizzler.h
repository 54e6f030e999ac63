// ZULSwizzler: replaces a method of a runtime class (rt::Class) with a
// block, and reads a method's current implementation. Replacements and
// reads run one at a time on the serial queue "com.zorori.ZULSwizzler",
// and the caller waits for them; the queue never calls back.
//
// A block takes the receiver first, then the method's own arguments, and
// calls any implementation it saved before; it is made with
// rt::implementationWithBlock<Signature>.
//
// An instance method is replaced on the class itself (an inherited one
// gains an override there, its superclass keeps its own); a class method
// among the class methods. Class operations only.
#pragma once

#include <memory>
#include <string_view>

#include "Platform/Runtime/Runtime.h"

class ZULSwizzler {
 public:
  ZULSwizzler() = delete;

  // Replaces the method, found with inheritance, by `block`. Refused
  // (false) for a null class, an empty selector or a null block, and for a
  // block whose signature differs from the found method's, since callers
  // of that method could no longer call it. A method the class does not
  // have at all is added with the block's signature.
  static bool swizzleClass(const std::shared_ptr<rt::Class>& cls, std::string_view selector, bool isClassSelector,
                           rt::IMP block);
  // The method the class answers `selector` with (inherited ones count);
  // null for a null class or an empty selector (without queueing), or when
  // there is none.
  static rt::IMP currentImplementationForClass(const std::shared_ptr<rt::Class>& cls, std::string_view selector,
                                               bool isClassSelector);
  // Whether the class has the method, inherited ones included. Not queued.
  static bool selectorExistsInClass(std::string_view selector, const std::shared_ptr<rt::Class>& cls,
                                    bool isClassSelector);
};
