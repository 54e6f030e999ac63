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
// A class registers itself before anyone looks for it, in practice from a
// static initialiser of its own file; such a file must reach the program
// (see WHOLE_ARCHIVE in cmake/Quillbox.cmake), or the class is never found.
//
// Thread-safe: registration and look-up share one lock. Registered classes
// live for the whole process.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace rt {

class Class {
 public:
  // `operations`: the names of the class operations it has, as selectors
  // ("componentsToRegister", "configureWithApp:").
  explicit Class(std::string name, std::vector<std::string> operations = {})
      : name_(std::move(name)), operations_(std::move(operations)) {}
  virtual ~Class() = default;
  Class(const Class&) = delete;
  Class& operator=(const Class&) = delete;

  const std::string& name() const { return name_; }
  bool respondsToSelector(std::string_view selector) const;

 private:
  std::string name_;
  std::vector<std::string> operations_;
};

// Registers `cls` under its name; a later class of the same name replaces
// it. Null is ignored.
void registerClass(std::shared_ptr<Class> cls);

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
