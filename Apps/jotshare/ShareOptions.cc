#include "Apps/jotshare/ShareOptions.h"

#include <map>

namespace jotshare {

std::optional<ShareOptions> ShareOptions::parse(const std::vector<std::string>& arguments, std::string* error) {
  static const std::map<std::string, Source> sources{
      {"--rtf", Source::RTF}, {"--html", Source::HTML}, {"--url", Source::URL}, {"--file", Source::File}};
  ShareOptions options;
  auto fail = [&](std::string why) -> std::optional<ShareOptions> {
    if (error) *error = std::move(why);
    return std::nullopt;
  };
  bool sourceGiven = false;
  for (size_t i = 0; i < arguments.size(); ++i) {
    const std::string& a = arguments[i];
    auto needsValue = [&]() -> const std::string* {
      if (i + 1 >= arguments.size() || arguments[i + 1].empty()) return nullptr;
      return &arguments[++i];
    };
    if (a == "--pad") {
      options.pad = true;
    } else if (a == "--yes") {
      options.yes = true;
    } else if (a == "--help" || a == "-h") {
      options.help = true;
    } else if (a == "--device" || a == "--script") {
      const std::string* value = needsValue();
      if (!value) return fail(a + " needs a path");
      (a == "--device" ? options.device : options.script) = *value;
    } else if (auto source = sources.find(a); source != sources.end()) {
      if (sourceGiven) return fail("share one thing at a time (" + a + " after another source)");
      const std::string* value = needsValue();
      if (!value) return fail(a + (source->second == Source::URL ? " needs a URL" : " needs a file"));
      options.source = source->second;
      options.argument = *value;
      sourceGiven = true;
    } else {
      return fail("unknown argument \"" + a + "\"");
    }
  }
  if (options.yes && !options.script.empty()) return fail("--yes and --script exclude each other");
  return options;
}

std::string ShareOptions::usage() {
  return "usage: jotshare [--device DIR] [--pad] [--yes | --script FILE]\n"
         "                [--rtf FILE | --html FILE | --url URL | --file FILE]\n"
         "  Shares text with Quillbox on the device, as another app's share sheet would:\n"
         "  the text on standard input (a last line break dropped), or\n"
         "  --rtf FILE     a rich-text document\n"
         "  --html FILE    the markup of a web page, as a browser shares a selection\n"
         "  --url URL      a web address or a file URL\n"
         "  --file FILE    a file, as a files app shares it\n"
         "  --device DIR   the device directory (default: $QUILLBOX_DEVICE, else\n"
         "                 ~/.local/share/quillbox/device)\n"
         "  --pad          run on a pad (default: a phone)\n"
         "  --yes          accept the text as it arrives (Done), for scripts\n"
         "  --script FILE  run the editing commands of FILE; exit status 1 when a line fails\n"
         "Exit status: 0 when the text was handed over, 1 when not, 2 for a bad command line.\n";
}

}  // namespace jotshare
