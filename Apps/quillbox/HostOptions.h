// The host program's command line:
//   quillbox [--device DIR] [--pad] [--biometry KIND] [--script FILE] [--log] [--shots DIR] [--window]
//            [--version] [-APP_ARGUMENT ...]
// --device picks the device directory (else as ns::Device::resolveDirectory
// decides), --pad makes the device a pad (else a phone), --biometry gives
// the device a sensor (kept on the device until changed), --script runs the
// commands of FILE instead of reading them from the terminal, --log prints
// the app's reports on standard error as well as to the system log, --shots
// writes a numbered picture of the screen after every action into DIR,
// --window shows the screen in a desktop window that takes the mouse and
// the keyboard (WindowLoop.h), --version prints the app's own version. The
// first argument that begins with one dash (not "-h") and all that follow it
// are the app's launch arguments, as a device hands them to it
// ("-ZOVDebugEnabled").
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "Platform/Foundation/Device.h"

namespace quillbox {

struct HostOptions {
  std::string device;  // empty: the default directory
  bool pad = false;
  std::optional<ns::Biometry> biometry;  // none given: the device keeps its own
  std::string script;  // empty: a person at the terminal
  bool log = false;
  std::string shots;   // empty: no pictures
  bool window = false;
  bool help = false;
  bool version = false;
  std::vector<std::string> appArguments;  // the app's process arguments after its path

  // Null with `error` set for an unknown or incomplete argument.
  static std::optional<HostOptions> parse(const std::vector<std::string>& arguments, std::string* error);
  static std::string usage();
};

}  // namespace quillbox
