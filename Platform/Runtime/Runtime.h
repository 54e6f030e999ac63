// The runtime's classes by name: code that wants to be found without being
// linked against registers a class object under its name, and others look
// it up by that name alone, ask which protocols it conforms to and which
// class operations it has.
//
// A class object is one long-lived object per class, derived from
// rt::Class and from the protocols (abstract classes) it adopts; its
// virtual functions are the class's operations. Conformance is a dynamic
// cast to the protocol's abstract class. Whether it has an operation is
// what its list of operation names says, since C++ cannot tell whether a
// virtual function was overridden.
//
// A class may also carry methods by selector, instance and class methods
// apart, each a type-erased function that takes the receiver first. A
// class names its superclass (by name), and a method it lacks is looked up
// there. Replacing a method changes only the class it is replaced in, so an
// inherited method replaced in a subclass leaves the superclass as it was.
//
// A class registers itself before anyone looks for it, in practice from a
// static initialiser of its own file; such a file must reach the program
// (see WHOLE_ARCHIVE in cmake/Quillbox.cmake), or the class is never found.
//
// Thread-safe: registration and look-up share one lock. Registered classes
// live for the whole process.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <typeinfo>
#include <string_view>
#include <vector>

namespace rt {

// A method's implementation: a function of some signature whose first
// parameter is the receiver. Compared by identity.
class Implementation {
 public:
  virtual ~Implementation() = default;
  virtual const std::type_info& signature() const = 0;
};
using IMP = std::shared_ptr<const Implementation>;

template <class Signature>
class BlockImplementation : public Implementation {
 public:
  explicit BlockImplementation(std::function<Signature> block) : block_(std::move(block)) {}
  const std::type_info& signature() const override { return typeid(Signature); }
  const std::function<Signature>& block() const { return block_; }

 private:
  std::function<Signature> block_;
};

// An implementation that runs `block`; null for an empty block.
template <class Signature>
IMP implementationWithBlock(std::function<Signature> block) {
  if (!block) return nullptr;
  return std::make_shared<const BlockImplementation<Signature>>(std::move(block));
}

// The function behind `imp` when it has this signature, else an empty one.
template <class Signature>
std::function<Signature> functionOf(const IMP& imp) {
  auto* typed = dynamic_cast<const BlockImplementation<Signature>*>(imp.get());
  return typed ? typed->block() : std::function<Signature>();
}

enum class MethodKind { Instance, Class };

class Class {
 public:
  // `operations`: the names of the class operations it has, as selectors
  // ("componentsToRegister", "configureWithApp:"). `superclassName`: where
  // methods this class lacks are looked up ("" for none).
  explicit Class(std::string name, std::vector<std::string> operations = {}, std::string superclassName = {})
      : name_(std::move(name)), operations_(std::move(operations)), superclassName_(std::move(superclassName)) {}
  virtual ~Class() = default;
  Class(const Class&) = delete;
  Class& operator=(const Class&) = delete;

  const std::string& name() const { return name_; }
  const std::string& superclassName() const { return superclassName_; }
  bool respondsToSelector(std::string_view selector) const;

  // This class's own method for `selector`, not an inherited one; else null.
  IMP ownMethod(std::string_view selector, MethodKind kind) const;
  // Sets this class's own method (null removes it); answers the one it had.
  IMP setMethod(std::string selector, IMP imp, MethodKind kind);

 private:
  std::string name_;
  std::vector<std::string> operations_;
  std::string superclassName_;
  mutable std::mutex methodsMutex_;
  std::map<std::string, IMP, std::less<>> instanceMethods_;
  std::map<std::string, IMP, std::less<>> classMethods_;
};

// The method `cls` answers `selector` with: its own, else its superclass's
// (by name, registered), and so on up; null when none has it.
IMP methodImplementation(const Class& cls, std::string_view selector, MethodKind kind);

// The unqualified name of the object's dynamic C++ type ("AppDelegate"),
// the nearest this language has to an object's class name.
std::string classNameOf(const std::type_info& type);
template <class T>
std::string classNameOf(const T& object) {
  return classNameOf(typeid(object));
}

// Registers `cls` under its name; a later class of the same name replaces
// it. Null is ignored.
void registerClass(std::shared_ptr<Class> cls);

// Takes the class registered under `name` back (tests that registered one
// for a case); holders of the class object keep it.
void unregisterClass(std::string_view name);

// The class registered under `name`, else null.
std::shared_ptr<Class> classFromString(std::string_view name);

// Whether `cls` adopts the protocol P (an abstract class).
template <class P>
bool conformsToProtocol(const Class& cls) {
  return dynamic_cast<const P*>(&cls) != nullptr;
}

// `cls` as the protocol P, sharing its ownership; null when it does not
// conform (or is null).
template <class P>
std::shared_ptr<P> classAs(const std::shared_ptr<Class>& cls) {
  return std::dynamic_pointer_cast<P>(cls);
}

}  // namespace rt
