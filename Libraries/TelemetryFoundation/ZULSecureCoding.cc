#include "Libraries/TelemetryFoundation/ZULSecureCoding.h"

#include "Platform/Foundation/KeyedArchiver.h"
#include "Platform/Foundation/KeyedUnarchiver.h"

std::optional<ns::Data> ZULSecureCoding::archivedDataWithRootObject(const ns::KeyedArchiveObject& object,
                                                                    ns::Error* error) {
  return ns::KeyedArchiver::archivedDataWithRootObject(object, /*requiresSecureCoding=*/true, error);
}

ns::KeyedArchiveObject ZULSecureCoding::unarchivedObjectOfClasses(const std::vector<std::string>& classes,
                                                                  const ns::Data& data, ns::Error* error) {
  // The unarchiver's static calls decode securely.
  return ns::KeyedUnarchiver::unarchivedObjectOfClasses(classes, data, error);
}

ns::KeyedArchiveObject ZULSecureCoding::unarchivedObjectOfClass(const std::string& className, const ns::Data& data,
                                                                ns::Error* error) {
  return unarchivedObjectOfClasses({className}, data, error);
}
