// "require": loads the module of a name once per runtime. Exactly one
// argument (error 9, checked before it is evaluated); its string is the
// module name. A module made once is cached and returned to every later
// call of that name, also the undefined of a name without a creator; a
// failed load (error, or nothing made) is not cached and gives undefined.
#pragma once

#include <memory>
#include <string>
#include <unordered_map>

#include "Libraries/Measurement/EventEditing/MSRPDynamicProvider.h"
#include "Libraries/Measurement/EventEditing/MSRPFunctionValue.h"

class MSRPRequire final : public MSRPFunctionValue {
 public:
  explicit MSRPRequire(std::shared_ptr<MSRPDynamicProvider> provider);
  ~MSRPRequire() override;

  MSRPValueRef invokeWithArguments(const MSRPValueList& arguments, const std::shared_ptr<MSRPScope>& scope,
                                   ns::Error& error) override;

  void forEachReference(MSRPReferenceVisitor& visitor) const override;
  void dropReferences() override;

 private:
  std::shared_ptr<MSRPDynamicProvider> provider_;
  std::unordered_map<std::u16string, MSRPValueRef> modules_;
};
