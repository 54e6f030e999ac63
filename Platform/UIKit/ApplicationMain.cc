#include "Platform/UIKit/ApplicationMain.h"

#include <filesystem>

#include "Platform/Foundation/Bundle.h"
#include "Platform/Foundation/NotificationCenter.h"
#include "Platform/UIKit/Application.h"
#include "Platform/UIKit/AssetCatalog.h"
#include "Platform/UIKit/Storyboard.h"
#include "Platform/UIKit/Window.h"

namespace ui {

std::shared_ptr<Window> applicationMain(std::shared_ptr<ApplicationDelegate> delegate,
                                        const ns::Dictionary& launchOptions) {
  auto bundle = ns::Bundle::mainBundle();
  if (AssetCatalog::shared().directory().empty() && bundle) {
    std::string assets = bundle->bundlePath() + "/Assets";
    if (std::filesystem::is_directory(assets)) AssetCatalog::shared().setDirectory(assets);
  }

  auto window = std::make_shared<Window>();
  const ns::Value* name = bundle ? bundle->objectForInfoDictionaryKey(kMainStoryboardFileKey) : nullptr;
  if (name && name->isString())
    if (auto initial = Storyboard::named(*name->asString())->instantiateInitialViewController())
      window->setRootViewController(initial);

  Application& application = Application::shared();
  application.setDelegate(delegate);
  if (delegate) delegate->setWindow(window);

  // Visible between finishing the launch and becoming active, as on the
  // device: the finish notification comes right before activation.
  auto& center = ns::NotificationCenter::defaultCenter();
  auto token = center.addObserver(kApplicationDidFinishLaunchingNotification, nullptr, nullptr,
                                  [window](const ns::Notification&) { window->makeKeyAndVisible(); });
  application.launch(launchOptions);
  center.removeObserver(token);
  return window;
}

}  // namespace ui
