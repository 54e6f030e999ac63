// Turns each frame's raw symbol into a readable name where it can: C++
// names ("_Z...") and block bodies of C++ functions ("__Z..._block_invoke...",
// the tail from "_block_invoke" on kept as it is). Other names stay as
// they are; the raw symbol keeps the mangled form.
#pragma once

#include <optional>
#include <string>

#include "Libraries/CrashReporter/DVCRThreadArrayOperation.h"

class DVCRDemangleOperation : public DVCRThreadArrayOperation {
 public:
  using DVCRThreadArrayOperation::DVCRThreadArrayOperation;

  // The readable name, or nothing (also for a null name).
  static std::optional<std::string> demangleSymbol(const char* symbol);
  static std::optional<std::string> demangleCppSymbol(const char* symbol);
  // Nothing when "_block_invoke" is absent or starts before index 5.
  static std::optional<std::string> demangleBlockInvokeCppSymbol(const char* symbol);

 protected:
  void main() override;
};
