#include "Libraries/Measurement/Reporters/MSRScreenViewReporter.h"

#include "Platform/UIKit/Application.h"

const std::shared_ptr<MSRScreenViewReporter>& MSRScreenViewReporter::sharedInstance() {
  static const auto* instance =
      new std::shared_ptr<MSRScreenViewReporter>(std::make_shared<MSRScreenViewReporter>());
  return *instance;
}

ns::Dictionary MSRScreenViewReporter::screenParameters() const { return {}; }

void MSRScreenViewReporter::setScreenName(const std::optional<std::string>&, const std::optional<std::string>&) {}

void MSRScreenViewReporter::trackScreenWithParameters(const ns::Dictionary&, double) {}

bool MSRScreenViewReporter::isAppActive() const {
  return ui::Application::shared().applicationState() == ui::ApplicationState::Active;
}

bool MSRIsAppActive() { return MSRScreenViewReporter::sharedInstance()->isAppActive(); }
