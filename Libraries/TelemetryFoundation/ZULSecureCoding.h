// ZULSecureCoding: keyed archives (ns::KeyedArchiver, ns::KeyedUnarchiver)
// with secure coding always required, as the keychain storage and the
// heartbeat date store keep their objects.
//
// Allowed classes are archived class names ("NSDictionary", "NSDate",
// "NSString", or a registered coding class's name); a root object of
// another class, or of a class derived from none of them, is refused.
// Failures answer nil and the archiver's or unarchiver's error (the Cocoa
// domain's coder codes). Safe from any thread.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "Platform/Foundation/Error.h"
#include "Platform/Foundation/KeyedArchiveObject.h"
#include "Platform/Foundation/Value.h"

class ZULSecureCoding {
 public:
  static std::optional<ns::Data> archivedDataWithRootObject(const ns::KeyedArchiveObject& object, ns::Error* error);
  static ns::KeyedArchiveObject unarchivedObjectOfClasses(const std::vector<std::string>& classes,
                                                          const ns::Data& data, ns::Error* error);
  static ns::KeyedArchiveObject unarchivedObjectOfClass(const std::string& className, const ns::Data& data,
                                                        ns::Error* error);
};
