// Stores a note's rich text (an ns::AttributedString held in std::any) as a
// keyed archive, and reads it back.
//
// Reading decodes securely with the classes rich text may be made of; when
// that yields nothing (an old archive written without secure coding, or one
// with a class outside the list) the failure is reported and the data is
// decoded once more without secure coding, so old notes still open.
#pragma once

#include <any>
#include <string>
#include <vector>

#include "Platform/CoreData/ValueTransformer.h"

class ClassNameTransformer : public cd::ValueTransformer {
 public:
  static constexpr const char* kName = "ClassNameTransformer";

  // The classes a secure decode accepts at the root.
  static const std::vector<std::string>& allowedClasses();

  // Registers one instance under kName (before the store opens).
  static void registerTransformer();

  // ns::AttributedString -> ns::Data; nil (and a report) on failure.
  std::any transformedValue(const std::any& value) const override;
  // ns::Data -> ns::AttributedString; nil when neither decode yields text.
  std::any reverseTransformedValue(const std::any& value) const override;
  bool allowsReverseTransformation() const override { return true; }
};
