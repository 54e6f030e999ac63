#include "Libraries/Measurement/EventEditing/MSRPCommandEvaluator.h"

#include "Libraries/Measurement/EventEditing/MSRPError.h"
#include "Libraries/Measurement/EventEditing/MSRPEvaluator.h"
#include "Libraries/Measurement/EventEditing/MSRPUndefinedValue.h"

MSRPValueRef MSRPCommandEvaluator::evaluateCommand(const std::u16string&, const MSRPValueList&,
                                                   const std::shared_ptr<MSRPScope>&, ns::Error&) {
  return MSRPUndefinedValue::sharedInstance();
}

std::vector<std::u16string> MSRPCommandEvaluator::allSupportedCommands() const { return {}; }

MSRPCommandHandler MSRPTableCommandEvaluator::handlerForCommand(const std::u16string& command) const {
  auto found = handlers_.find(command);
  return found == handlers_.end() ? nullptr : found->second;
}

MSRPValueRef MSRPTableCommandEvaluator::evaluateCommand(const std::u16string& command, const MSRPValueList& arguments,
                                                        const std::shared_ptr<MSRPScope>& scope, ns::Error& error) {
  MSRPCommandHandler handler = handlerForCommand(command);
  if (handler == nullptr) return MSRPUndefinedValue::sharedInstance();
  if (style_ == Style::Lazy) return handler(arguments, scope, error);
  MSRPValueList values = MSRPEvaluateArguments(arguments, scope, error);
  if (MSRPHasError(error)) return MSRPUndefinedValue::sharedInstance();
  return handler(values, scope, error);
}

std::vector<std::u16string> MSRPTableCommandEvaluator::allSupportedCommands() const {
  std::vector<std::u16string> commands;
  commands.reserve(handlers_.size());
  for (const auto& entry : handlers_) commands.push_back(entry.first);
  return commands;
}
