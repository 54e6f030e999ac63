#include "Apps/quillbox/HostOptions.h"

namespace quillbox {

std::optional<HostOptions> HostOptions::parse(const std::vector<std::string>& arguments, std::string* error) {
  HostOptions options;
  auto fail = [&](std::string why) -> std::optional<HostOptions> {
    if (error) *error = std::move(why);
    return std::nullopt;
  };
  for (size_t i = 0; i < arguments.size(); ++i) {
    const std::string& a = arguments[i];
    if (a == "--pad") {
      options.pad = true;
    } else if (a == "--biometry") {
      std::string kind = i + 1 < arguments.size() ? arguments[++i] : "";
      if (kind == "none") {
        options.biometry = ns::Biometry::None;
      } else if (kind == "touch-id") {
        options.biometry = ns::Biometry::TouchID;
      } else if (kind == "face-id") {
        options.biometry = ns::Biometry::FaceID;
      } else {
        return fail("--biometry needs none, touch-id or face-id");
      }
    } else if (a == "--log") {
      options.log = true;
    } else if (a == "--window") {
      options.window = true;
    } else if (a == "--help" || a == "-h") {
      options.help = true;
    } else if (a == "--version") {
      options.version = true;
    } else if (a == "--device" || a == "--script" || a == "--shots") {
      if (i + 1 >= arguments.size() || arguments[i + 1].empty()) return fail(a + " needs a path");
      (a == "--device" ? options.device : a == "--script" ? options.script : options.shots) = arguments[++i];
    } else if (a.size() > 1 && a[0] == '-' && a[1] != '-') {
      // The app's own arguments, values included ("-Key value"), to the end.
      options.appArguments.assign(arguments.begin() + long(i), arguments.end());
      break;
    } else {
      return fail("unknown argument \"" + a + "\"");
    }
  }
  return options;
}

std::string HostOptions::usage() {
  return "usage: quillbox [--device DIR] [--pad] [--biometry KIND] [--script FILE] [--log] [--shots DIR]\n"
         "                [--window] [--version] [-APP_ARGUMENT ...]\n"
         "  --device DIR     the device directory (default: $QUILLBOX_DEVICE, else\n"
         "                   ~/.local/share/quillbox/device)\n"
         "  --pad            run on a pad (default: a phone)\n"
         "  --biometry KIND  the device's sensor: none, touch-id or face-id; the device\n"
         "                   keeps it for later runs (a new device has none)\n"
         "  --script FILE    run the commands of FILE, then end; exit status 1 when a line fails,\n"
         "                   2 when FILE is a directory, unreadable or without a command\n"
         "  --log            print the app's reports on standard error too (they always go to\n"
         "                   the system log)\n"
         "  --shots DIR      write the screen as a PNG picture at the start and after every action:\n"
         "                   DIR/0000.png, DIR/0001.png, ...\n"
         "  --window         show the screen in a window: a click taps, a drag scrolls or swipes,\n"
         "                   a held click presses long, the keyboard types, Escape goes back;\n"
         "                   the terminal still takes commands (exit status 2 without a display)\n"
         "  --version        print the app's version and end\n"
         "  -APP_ARGUMENT    from the first argument with one dash on, the app's own launch\n"
         "                   arguments, as a device passes them (-ZOVDebugEnabled, ...)\n";
}

}  // namespace quillbox
