// Switches off an older measurement library that may be linked beside this
// one, found only by its class name "RERUzerovarira" in the runtime (rt).
//
// What is relied on of that class: a class method "sharedInstance" of
// signature std::shared_ptr<void>(const rt::Class&) answering its shared
// instance (null when it has none), and an instance method "setIsEnabled:"
// of signature void(const std::shared_ptr<void>&, bool).
#pragma once

class MSRBackwardCompatibilityUtil {
 public:
  MSRBackwardCompatibilityUtil() = delete;
  // Sends setIsEnabled: false to the older library's shared instance when
  // the class is there with both methods; true exactly when a shared
  // instance existed.
  static bool disableRERUzerovarira();
};
