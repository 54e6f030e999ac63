// The display-order test's child: launches the app on a device as the host
// program does, lets a second and a half pass, so that becoming active
// renumbers the display orders, and ends as a person quitting would.
//
//   Notes_walk_child DEVICE_DIR BUNDLE_DIR
//
// Prints "walks N": how many walks read the notes.
#include <cstdio>
#include <memory>
#include <string>

#include "Notes/AppDelegate.h"
#include "Notes/MainStoryboard.h"
#include "Notes/NTData.h"
#include "Notes/tests/AppChildBoot.h"
#include "Platform/Dispatch/Shutdown.h"
#include "Platform/UIKit/Application.h"
#include "Platform/UIKit/ApplicationMain.h"
#include "Platform/UIKit/Input.h"

int main(int argc, char** argv) {
  if (argc < 3) return 2;
  notes::testing::bootAppChild(argv[1], argv[2]);
  int walks = 0;
  NTData::setDisplayOrderWalkObserver([&] { ++walks; });
  registerMainStoryboard();
  ui::applicationMain(std::make_shared<AppDelegate>());
  ui::Input::settle();
  ui::Input::advance(1.5);
  ui::Application::shared().terminate();
  std::printf("walks %d\n", walks);
  std::fflush(stdout);
  dispatch::shutdown();
  return 0;
}
