// Turns values into other values and back, registered process-wide by name.
// Transformable attributes name a transformer; the store keeps the forward
// result (which must be ns::Data) and the context hands out the reverse
// result. An empty std::any stands for nil in both directions.
#pragma once

#include <any>
#include <memory>
#include <string>

namespace cd {

class ValueTransformer {
 public:
  virtual ~ValueTransformer() = default;

  virtual std::any transformedValue(const std::any& value) const = 0;
  virtual std::any reverseTransformedValue(const std::any& value) const = 0;
  virtual bool allowsReverseTransformation() const { return true; }

  // Registers (or, with nullptr, removes) the transformer under a name.
  static void setValueTransformer(std::shared_ptr<ValueTransformer> transformer, const std::string& name);
  static std::shared_ptr<ValueTransformer> valueTransformerForName(const std::string& name);
};

}  // namespace cd
