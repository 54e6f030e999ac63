// The jotshare host program: shares text with Quillbox on a device as the
// share extension does when another app sends it there. See ShareOptions.h.
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "Apps/jotshare/ShareOptions.h"
#include "Apps/jotshare/ShareSession.h"
#include "Apps/jotshare/SharedInput.h"
#include "Apps/quillbox/DeviceClock.h"
#include "Apps/quillbox/HostLaunch.h"
#include "Notes/NTAppearance.h"
#include "Platform/Dispatch/Shutdown.h"
#include "Platform/Foundation/Device.h"
#include "Platform/Foundation/ProcessInfo.h"

namespace {

// Runs commands until the request ends or the input does. A script stops
// at its first failing line (false); a person sees why and goes on.
bool runCommands(std::istream& in, const std::string& scriptName, jotshare::ShareSession& session, bool prompt) {
  std::string line;
  int number = 0;
  while (!session.ended()) {
    if (prompt) std::cout << "> " << std::flush;
    if (!std::getline(in, line)) break;
    ++number;
    if (!scriptName.empty() && quillbox::HostCommand::parse(line)) std::cout << "> " << line << "\n";
    auto result = session.run(line);
    if (!result.ok) {
      if (!scriptName.empty()) {
        std::cout << scriptName << ":" << number << ": " << result.output << "\nThe screen showed:\n"
                  << jotshare::ShareSession::screen() << std::flush;
        return false;
      }
      std::cout << "! " << result.output << "\n" << std::flush;
      continue;
    }
    if (!result.output.empty()) std::cout << result.output << "\n";
    if (result.showScreen) std::cout << jotshare::ShareSession::screen();
    std::cout.flush();
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  ns::ProcessInfo::processInfo().setArguments(std::vector<std::string>(argv, argv + argc));
  std::string error;
  auto options = jotshare::ShareOptions::parse(std::vector<std::string>(argv + 1, argv + argc), &error);
  if (!options) {
    std::fprintf(stderr, "jotshare: %s\n%s", error.c_str(), jotshare::ShareOptions::usage().c_str());
    return 2;
  }
  if (options->help) {
    std::printf("%s\n%s\n", jotshare::ShareOptions::usage().c_str(), jotshare::ShareSession::help().c_str());
    return 0;
  }
  std::ifstream script;
  if (!options->script.empty()) {
    script.open(options->script);
    if (!script) {
      std::fprintf(stderr, "jotshare: cannot read the script %s\n", options->script.c_str());
      return 2;
    }
  }
  // Editing at the terminal needs one when standard input carries the text.
  bool textOnStandardInput = options->source == jotshare::ShareOptions::Source::StandardInput;
  std::ifstream terminal;
  bool interactive = !options->yes && options->script.empty();
  if (interactive && textOnStandardInput) {
    terminal.open("/dev/tty");
    if (!terminal) {
      std::fprintf(stderr, "jotshare: no terminal to edit the text at; use --yes or --script\n");
      return 2;
    }
  }
  std::string standardInput;
  if (textOnStandardInput) {
    if (::isatty(0)) std::fprintf(stderr, "Type the text to share, then Ctrl-D on a line of its own.\n");
    standardInput.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
  }

  quillbox::HostOptions host;
  host.device = options->device;
  host.pad = options->pad;
  // Past this point work may run on the queues: every way out stops them
  // before anything static is destroyed.
  auto endWith = [](int status) {
    dispatch::shutdown();
    return status;
  };
  if (!quillbox::HostLaunch::prepare(host, &error)) {
    std::fprintf(stderr, "jotshare: %s\n", error.c_str());
    return endWith(1);
  }
  auto items = jotshare::SharedInput::make(*options, standardInput, &error);
  if (!items) {
    std::fprintf(stderr, "jotshare: %s\n", error.c_str());
    return endWith(2);
  }
  std::printf("Jotshare on a %s, device %s\n", options->pad ? "pad" : "phone",
              ns::Device::current().directory().c_str());
  std::fflush(stdout);
  NTAppearance::load();

  bool scriptPassed = true;
  bool handedOver = false;
  {
    jotshare::ShareSession session(std::move(*items));
    std::cout << jotshare::ShareSession::screen() << std::flush;
    if (options->yes) {
      std::istringstream accept("done");
      runCommands(accept, "", session, false);
    } else if (!options->script.empty()) {
      scriptPassed = runCommands(script, options->script, session, false);
    } else {
      std::istream& in = textOnStandardInput ? static_cast<std::istream&>(terminal) : std::cin;
      std::cout << "(help lists the commands)\n";
      runCommands(in, "", session, ::isatty(textOnStandardInput ? 1 : 0));
    }
    if (!session.ended()) std::cout << session.run("cancel").output << "\n";
    handedOver = session.handedOver();
    if (!handedOver) std::cout << "Nothing was handed over.\n";
  }
  quillbox::DeviceClock::save(ns::Device::current().directory());
  std::cout.flush();
  return endWith(handedOver && scriptPassed ? 0 : 1);
}
