// The quillbox host program: boots the device, launches the app on the main
// run loop and lets a person (or a script) use it; see HostOptions.h and
// `help`.
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <sstream>
#include <iostream>
#include <string>
#include <vector>

#include "Apps/quillbox/HostLaunch.h"
#include "Apps/quillbox/HostLogging.h"
#include "Apps/quillbox/HostOptions.h"
#include "Apps/quillbox/HostSession.h"
#include "Apps/quillbox/ScriptRunner.h"
#include "Apps/quillbox/TerminalLoop.h"
#include "Apps/quillbox/WindowLoop.h"
#include "Libraries/WireMessages/MSRPBTextOutput.h"
#include "Notes/AppDelegate.h"
#include "Notes/MainStoryboard.h"
#include "Platform/Dispatch/Shutdown.h"
#include "Platform/Display/Window.h"
#include "Platform/Foundation/Device.h"
#include "Platform/Foundation/ProcessInfo.h"
#include "Platform/UIKit/ApplicationMain.h"
#include "Platform/UIKit/Input.h"
#include "Platform/UIKit/Screen.h"

namespace {

// The app's own start: its storyboard, its delegate, the launch; then what
// the launch queued on the main run loop runs.
void launchApp() {
  registerMainStoryboard();
  ui::applicationMain(std::make_shared<AppDelegate>());
  ui::Input::settle();
}

}  // namespace

int main(int argc, char** argv) {
  std::string error;
  auto options = quillbox::HostOptions::parse(std::vector<std::string>(argv + 1, argv + argc), &error);
  if (!options) {
    std::fprintf(stderr, "quillbox: %s\n%s", error.c_str(), quillbox::HostOptions::usage().c_str());
    return 2;
  }
  if (options->help) {
    std::printf("%s\n%s\n", quillbox::HostOptions::usage().c_str(), quillbox::HostSession::help().c_str());
    return 0;
  }
  auto version = quillbox::HostLaunch::appVersion(&error);
  if (!version) {
    std::fprintf(stderr, "quillbox: %s\n", error.c_str());
    return 1;
  }
  if (options->version) {
    std::printf("Quillbox %s\n", version->c_str());
    return 0;
  }
  // As on a device, the app sees its path and its launch arguments, not
  // the host's options.
  std::vector<std::string> processArguments{argv[0]};
  processArguments.insert(processArguments.end(), options->appArguments.begin(), options->appArguments.end());
  ns::ProcessInfo::processInfo().setArguments(std::move(processArguments));
  std::istringstream script;
  if (!options->script.empty()) {
    if (!quillbox::ScriptRunner::load(options->script, &script, &error)) {
      std::fprintf(stderr, "quillbox: %s\n", error.c_str());
      return 2;
    }
  }
  if (options->window && !display::Window::connect(&error)) {
    std::fprintf(stderr, "quillbox: --window: %s\n", error.c_str());
    return 2;
  }
  quillbox::HostLogging::start(options->log);
  // Standard output is the screen: the wire messages' coder lines go beside the logs.
  MSRPBSetCoderOutput(MSRPBStandardErrorSink());
  if (!quillbox::HostLaunch::prepare(*options, &error)) {
    std::fprintf(stderr, "quillbox: %s\n", error.c_str());
    // Booting the device may have started work on the queues (the logging
    // queue, for one): it ends here, not in a static destructor.
    quillbox::HostLogging::finish();
    dispatch::shutdown();
    return 1;
  }
  std::printf("Quillbox %s on a %s, device %s\n", version->c_str(), options->pad ? "pad" : "phone",
              ns::Device::current().directory().c_str());
  std::fflush(stdout);
  std::unique_ptr<display::Window> window;
  if (options->window) {
    window = display::Window::open("Quillbox", ui::Screen::main().bounds().size, ui::Screen::main().scale(), &error);
    if (!window) {
      std::fprintf(stderr, "quillbox: --window: %s\n", error.c_str());
      return 2;
    }
  }
  launchApp();

  int status = 0;
  auto startShots = [&](quillbox::HostSession& session) {
    if (options->shots.empty() || session.startShots(options->shots, &error)) return true;
    std::fprintf(stderr, "quillbox: %s\n", error.c_str());
    session.run("quit");
    status = 1;
    return false;
  };
  if (!options->script.empty()) {
    quillbox::HostSession session(std::filesystem::path(options->script).parent_path().string());
    if (startShots(session)) {
      status = window ? quillbox::WindowLoop(*window, session, std::cout).runScript(script, options->script)
                      : quillbox::ScriptRunner::run(script, options->script, session, std::cout);
    }
  } else {
    quillbox::HostSession session;
    // In a window the clock follows real time frame by frame instead.
    session.setFollowsRealTime(!window);
    if (startShots(session)) {
      if (window) {
        quillbox::WindowLoop(*window, session, std::cout).runForPerson(0, ::isatty(0));
      } else {
        quillbox::TerminalLoop::run(std::cin, std::cout, session, ::isatty(0));
      }
    }
  }
  // The app has ended; what its queues still run ends before anything
  // static is destroyed, its last report lines written first.
  quillbox::HostLogging::finish();
  dispatch::shutdown();
  window.reset();
  return status;
}
