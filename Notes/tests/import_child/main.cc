// The hand-over kill test's child: launches the app on a device as the host
// program does, so that becoming active imports what Jotshare handed over,
// then ends as a person quitting would. Given KILL_AT n, it ends itself
// with SIGKILL right after the n-th step of the import instead.
//
//   Notes_import_child DEVICE_DIR BUNDLE_DIR [KILL_AT]
//
// Prints "steps N" (the import's steps it went through) when it ends by
// itself.
#include <signal.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "Notes/AppDelegate.h"
#include "Notes/HandOverImport.h"
#include "Notes/MainStoryboard.h"
#include "Notes/tests/AppChildBoot.h"
#include "Platform/Dispatch/Shutdown.h"
#include "Platform/UIKit/Application.h"
#include "Platform/UIKit/ApplicationMain.h"
#include "Platform/UIKit/Input.h"

int main(int argc, char** argv) {
  if (argc < 3) return 2;
  notes::testing::bootAppChild(argv[1], argv[2]);
  const int killAt = argc > 3 ? std::atoi(argv[3]) : 0;
  int steps = 0;
  HandOverImport::setStepObserver([&](std::string_view) {
    if (++steps == killAt) ::raise(SIGKILL);
  });
  registerMainStoryboard();
  ui::applicationMain(std::make_shared<AppDelegate>());
  ui::Input::settle();
  ui::Application::shared().terminate();
  std::printf("steps %d\n", steps);
  std::fflush(stdout);
  dispatch::shutdown();
  return 0;
}
