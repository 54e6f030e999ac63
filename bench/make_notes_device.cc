// Fills the notes store of a device for the whole-program timings
// (whole_program.py): make_notes_device DEVICE FOLDERS NOTES_PER_FOLDER KIND
// adds that many folders of notes to the store of DEVICE (which the host
// program has launched once). KIND is the notes' text: "short" (two lines),
// "search" (about 1 KB; one note in ten names a lighthouse café) or "rich"
// (about 1 KB with runs of bold type).
#include <cstdio>
#include <cstdlib>
#include <string>

#include "Platform/Foundation/Device.h"
#include "Platform/UIKit/Font.h"
#include "bench/NotesBenchSupport.h"

namespace {

std::string filler(std::string body) {
  while (body.size() < 1000) body += "The quick brown fox jumps over the lazy dog, then rests by the river. ";
  return body;
}

ns::AttributedString textOf(const std::string& kind, int n) {
  std::string first = "Note " + std::to_string(n) + "\n";
  if (kind == "search") {
    return ns::AttributedString(filler(first + (n % 10 == 0 ? "Walked to the LIGHTHOUSE café and back. " : "")));
  }
  if (kind == "rich") {
    ns::AttributedString text(filler(first));
    text.addAttribute(ns::kFontAttributeName, ns::AttributeValue(ui::Font::systemFont(17)), ns::Range{0, text.length()});
    text.addAttribute(ns::kFontAttributeName, ns::AttributeValue(ui::Font::boldSystemFont(17)), ns::Range{0, 9});
    return text;
  }
  return ns::AttributedString(first + "A line or two of what the note says.");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 5) {
    std::fprintf(stderr, "usage: make_notes_device DEVICE FOLDERS NOTES_PER_FOLDER short|search|rich\n");
    return 2;
  }
  const std::string kind = argv[4];
  ns::Device::boot(argv[1]);
  bench::addNotes(ns::Device::current().documentsDirectory() + "/Notes.sqlite", std::atoi(argv[2]), std::atoi(argv[3]),
                  [&](int n) { return textOf(kind, n); });
  return 0;
}
