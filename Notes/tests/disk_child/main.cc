// The child of the full and read-only disk tests: the app on a device
// whose file system the test made small (DiskChildRun.h), driven as a person would, printing what the screen
// says. The disk is filled (a file of zeros beside the device until the
// file system refuses more) and freed by the child itself, so that it
// happens between two actions.
//
//   Notes_disk_child DEVICE_DIR BUNDLE_DIR ACTION
//
// ACTION:
//   write  fills the disk, adds a note (printing the screen), answers the
//          alert, writes the note, leaves it (printing the screen again),
//          frees the disk and quits
//   full   fills the disk, launches and prints the screen, frees the disk
//   read   prints the texts of the notes in the store, one per line
//   screen launches and prints the screen
//   lock   sets the passcode 1234
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "Notes/AppDelegate.h"
#include "Notes/MainStoryboard.h"
#include "Notes/NTData.h"
#include "Notes/NTSettings.h"
#include "Platform/Dispatch/Shutdown.h"
#include "Platform/Foundation/Bundle.h"
#include "Platform/Foundation/Clock.h"
#include "Platform/Foundation/Device.h"
#include "Platform/UIKit/Application.h"
#include "Platform/UIKit/ApplicationMain.h"
#include "Platform/UIKit/AssetCatalog.h"
#include "Platform/UIKit/Input.h"
#include "Platform/UIKit/ScreenText.h"
#include "Platform/UIKit/TextView.h"
#include "Platform/UIKit/Window.h"

namespace {

std::string fillerPath() { return ns::Device::current().directory() + "/../filler"; }

// Writes zeros until the file system is full.
void fillDisk() {
  int fd = ::open(fillerPath().c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) return;
  std::vector<char> zeros(4096, 0);
  while (::write(fd, zeros.data(), zeros.size()) > 0) {
  }
  ::close(fd);
}

void freeDisk() { ::unlink(fillerPath().c_str()); }

std::shared_ptr<AppDelegate> launch() {
  registerMainStoryboard();
  auto delegate = std::make_shared<AppDelegate>();
  ui::applicationMain(delegate);
  ui::Input::settle();
  return delegate;
}

// The note's text, on screen: a person taps it to type there.
ui::TextView* noteText(ui::View& view) {
  if (auto* text = dynamic_cast<ui::TextView*>(&view)) return text;
  for (const auto& sub : view.subviews())
    if (auto* found = noteText(*sub)) return found;
  return nullptr;
}

bool tapNoteText() {
  for (const auto& window : ui::Application::shared().windows())
    if (auto* text = noteText(*window)) return ui::Input::tapView(*text);
  return false;
}

bool step(bool done, const char* what) {
  if (!done) std::printf("could not %s: %s\n", what, ui::Input::lastFailure().c_str());
  return done;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) return 2;
  ns::Device::boot(argv[1]);
  ns::Bundle::setMainBundlePath(argv[2]);
  ui::AssetCatalog::shared().setDirectory(std::string(argv[2]) + "/Assets");
  ns::Clock::useVirtual(ns::Date::now());
  const std::string action = argv[3];
  int status = 0;
  if (action == "write") {
    auto app = launch();
    fillDisk();
    // The new note is saved at once: that save fails and is said.
    bool acted = step(ui::Input::tap("AddButton-Ball"), "add a note");
    std::printf("--- added\n%s", ui::ScreenText::render().c_str());
    acted = acted && step(ui::Input::tap("OK"), "answer the alert") && step(tapNoteText(), "tap the text") &&
            step(ui::Input::type("Written on a full disk"), "type") && step(ui::Input::goBack(), "go back");
    // Leaving the note saves it: that fails too, and the person knows.
    std::printf("--- left\n%s", ui::ScreenText::render().c_str());
    freeDisk();
    ui::Application::shared().terminate();
    status = acted ? 0 : 1;
  } else if (action == "full") {
    fillDisk();
    auto app = launch();
    std::printf("%s", ui::ScreenText::render().c_str());
    ui::Application::shared().terminate();
    freeDisk();
  } else if (action == "read") {
    auto app = launch();
    for (const auto& note : NTData::fetchSortedNotesInFolder(*app->managedObjectContext(), nullptr))
      std::printf("%s\n", note->string().value_or("").c_str());
    ui::Application::shared().terminate();
  } else if (action == "screen") {
    auto app = launch();
    std::printf("%s", ui::ScreenText::render().c_str());
    ui::Application::shared().terminate();
  } else if (action == "lock") {
    auto app = launch();
    status = NTSettings::setPinNumber("1234") ? 0 : 1;
    ui::Application::shared().terminate();
  } else {
    status = 2;
  }
  std::fflush(stdout);
  dispatch::shutdown();
  return status;
}
