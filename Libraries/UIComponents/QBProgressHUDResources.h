// Where the HUD's images come from: the resource bundle "QBProgressHUD.bundle"
// inside the main bundle, else the one shipped beside these sources.
#pragma once

#include <memory>
#include <string>

#include "Platform/Foundation/Bundle.h"
#include "Platform/UIKit/Image.h"

namespace QBProgressHUDResources {

// The resource bundle, or null when neither place holds it.
std::shared_ptr<ns::Bundle> bundle();
// The image "<name>.png" of the bundle, loaded from its file (not a
// template); null when missing.
ui::ImagePtr image(const std::string& name);

}  // namespace QBProgressHUDResources
