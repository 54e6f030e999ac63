#include "Libraries/Measurement/Core/VOZIzizuzoveConnector.h"

void VOZIzizuzoveConnector::setConditionalUserProperty(const ns::Dictionary&) {}
void VOZIzizuzoveConnector::clearConditionalUserProperty(const std::string&, const std::string&, const std::string&,
                                                         const ns::Dictionary&) {}
std::vector<ns::Dictionary> VOZIzizuzoveConnector::conditionalUserProperties(const std::string&, const std::string&) {
  return {};
}
