// The program in a desktop window, used as a person uses it: a real window
// on a display of the test's own (Xvfb), clicks, drags and keys sent through
// the X server by xdotool, and the window's pixels taken by `import`. What
// the window shows is compared with `shot` of the same screen.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <thread>

#include "Apps/quillbox/tests/ProgramRun.h"
#include "Apps/quillbox/tests/VirtualDisplay.h"
#include "Apps/quillbox/tests/WindowedProgram.h"
#include "Platform/Graphics/Image.h"
#include "Platform/Graphics/testing/Pictures.h"

namespace quillbox {
namespace {

using testing::DeviceDirectory;
using testing::VirtualDisplay;
using testing::WindowedProgram;

// Room for a phone's window (1170 x 2532 pixels) and a pad's (1640 x 2360).
constexpr int kDisplayWidth = 1700, kDisplayHeight = 2600;
// The screen pictures' tolerance, per colour channel out of 255.
constexpr int kTolerance = 16;
// A phone: 390 x 844 points at 3 pixels a point. The add button sits 14
// points from the right edge and 8 from the bottom; list rows are 44
// points high below the status bar, the bar and the search field.
constexpr double kPhoneScale = 3;
constexpr double kAddButtonX = 390 - 14 - 28, kAddButtonY = 844 - 8 - 45;
constexpr double kFirstRowY = 47 + 44 + 56 + 22;

#define START_DISPLAY(display)                                                  \
  VirtualDisplay display(kDisplayWidth, kDisplayHeight);                        \
  if (display.cannotStart()) GTEST_SKIP() << display.why();                     \
  ASSERT_TRUE(display.started()) << display.why()

// A point of the phone's screen in the window's pixels, the window being
// `windowHeight` pixels high.
std::pair<int, int> pixel(double x, double y, double windowHeight = 844 * kPhoneScale) {
  double f = windowHeight / 844;
  return {int(std::lround(x * f)), int(std::lround(y * f))};
}

void click(WindowedProgram& program, double x, double y, double windowHeight = 844 * kPhoneScale) {
  auto [px, py] = pixel(x, y, windowHeight);
  program.click(px, py);
}

// Whether the window shows what `shot` writes of the screen now, within
// the tolerance; taken again until it does, within the bound (the window
// shows a change at its next frame). A mismatch is written side by side
// under the build directory.
::testing::AssertionResult windowMatchesShot(WindowedProgram& program, const std::string& device,
                                             const std::string& name) {
  std::string shot = device + "-shot.png", shown = device + "-window.png";
  size_t from = program.output().size();
  program.send("shot " + shot);
  if (!program.waitForOutput("Wrote " + shot + ".", from)) return ::testing::AssertionFailure() << "no shot written";
  auto expected = cg::Image::fromFile(shot);
  if (!expected) return ::testing::AssertionFailure() << "the shot cannot be read";
  std::shared_ptr<const cg::Image> actual;
  cg::testing::PictureDifference difference;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(testing::kWindowWait);
  do {
    if (program.capture(shown)) actual = cg::Image::fromFile(shown);
    if (actual) difference = cg::testing::comparePictures(*expected, *actual, kTolerance);
    if (difference.sameSize && difference.differingPixels == 0) return ::testing::AssertionSuccess();
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
  } while (std::chrono::steady_clock::now() < deadline);
  if (!actual) return ::testing::AssertionFailure() << "the window's pixels cannot be taken";
  std::string sideBySide = std::string(QUILLBOX_BINARY_DIR) + "/test-pictures/" + name + ".png";
  cg::testing::writePNG(*cg::testing::sideBySide(*expected, *actual, kTolerance), sideBySide);
  return ::testing::AssertionFailure() << name << ": the window is " << actual->pixelWidth() << "x"
                                       << actual->pixelHeight() << ", " << difference.differingPixels
                                       << " pixels off the shot by more than " << kTolerance
                                       << "; side by side: " << sideBySide;
}

TEST(WindowTest, ANoteWrittenWithTheMouseAndKeysLooksAsItsShotDoesAndClosingSavesIt) {
  START_DISPLAY(display);
  DeviceDirectory device;
  {
    WindowedProgram program(display, device.path());
    ASSERT_FALSE(program.window().empty()) << program.errors();
    ASSERT_TRUE(program.waitForOutput("(help lists the commands)")) << program.errors();
    EXPECT_EQ(program.geometry(), "1170x2532") << "a phone's screen at its scale";

    click(program, kAddButtonX, kAddButtonY);
    ASSERT_TRUE(program.waitForScreen("TextView (editing)")) << program.output();
    program.type("Milk and eggs");
    ASSERT_TRUE(program.waitForScreen("\"Milk and eggs\"")) << program.output();
    program.key("Escape");
    ASSERT_TRUE(program.waitForScreen("1. \"Milk and eggs\"")) << program.output();

    click(program, 100, kFirstRowY);
    ASSERT_TRUE(program.waitForScreen("[Trash]")) << program.output();
    EXPECT_NE(program.screen().find("\"Milk and eggs\""), std::string::npos);
    EXPECT_TRUE(windowMatchesShot(program, device.path(), "window-opened-note"));

    // Typing into the open note, then the close button: the app goes to
    // the background as `quit` sends it, and saves the note on the way.
    click(program, 200, 200);
    ASSERT_TRUE(program.waitForScreen("TextView (editing)")) << program.output();
    program.type(" and bread");
    ASSERT_TRUE(program.waitForScreen("\"Milk and eggs and bread\"")) << program.output();
    ASSERT_TRUE(program.close());
    EXPECT_EQ(program.waitForExit(), 0) << program.errors();
  }
  auto again = testing::runProgram(device.path(), "expect \"Milk and eggs and bread\"\n");
  EXPECT_TRUE(again.exitedCleanly()) << again.output << again.errors;
}

TEST(WindowTest, ADragInAResizedWindowScrollsALongListToItsLastRow) {
  START_DISPLAY(display);
  DeviceDirectory device;
  std::string notes = "set NTSettingsShowNoteDate NO\n";
  for (int n = 1; n <= 30; ++n) notes += "tap +\ntype Note " + std::to_string(n) + "\nback\n";
  auto written = testing::runProgram(device.path(), notes);
  ASSERT_TRUE(written.exitedCleanly()) << written.errors;

  WindowedProgram program(display, device.path());
  ASSERT_FALSE(program.window().empty()) << program.errors();
  ASSERT_TRUE(program.waitForScreen("rows below")) << program.output();

  // A resize keeps the screen's aspect: the side moved more leads.
  program.xdotool("windowsize " + program.window() + " 600 900");
  auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(testing::kWindowWait);
  while (program.geometry() != "416x900" && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  ASSERT_EQ(program.geometry(), "416x900");

  // Upward drags in the smaller window, as a finger flicks through the
  // list, until nothing lies below.
  constexpr double kHeight = 900;
  std::string screen = program.screen();
  for (int drag = 0; drag < 10 && screen.find("below") != std::string::npos; ++drag) {
    std::vector<std::pair<int, int>> path;
    for (double y = 750; y >= 250; y -= 50) path.push_back(pixel(150, y, kHeight));
    program.drag(path);
    std::string before = screen;
    auto until = std::chrono::steady_clock::now() + std::chrono::duration<double>(testing::kWindowWait);
    while ((screen = program.screen()) == before && std::chrono::steady_clock::now() < until)
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    ASSERT_NE(screen, before) << "the list did not move";
  }
  ASSERT_EQ(screen.find("below"), std::string::npos) << screen;
  ASSERT_NE(screen.find("\"Note 1\""), std::string::npos) << screen;

  // The list keeps 60 points under its last row (the first launch's note)
  // for the add button; "Note 1" lies above that row, and the pointer
  // finds it where the scaled window shows it.
  click(program, 100, 844 - 60 - 44 - 22, kHeight);
  ASSERT_TRUE(program.waitForScreen("[Trash]")) << program.output();
  EXPECT_NE(program.screen().find("TextView\n  \"Note 1\""), std::string::npos) << program.screen();
}

TEST(WindowTest, APadGetsAPadSizedWindowShowingItsScreen) {
  START_DISPLAY(display);
  DeviceDirectory device;
  WindowedProgram program(display, device.path(), {"--pad"});
  ASSERT_FALSE(program.window().empty()) << program.errors();
  ASSERT_TRUE(program.waitForOutput("(help lists the commands)")) << program.errors();
  EXPECT_EQ(program.geometry(), "1640x2360") << "a pad's screen at its scale";
  EXPECT_TRUE(windowMatchesShot(program, device.path(), "window-pad-first-launch"));
}

TEST(WindowTest, AScriptShowsInTheWindowUntilItsWindowIsClosed) {
  START_DISPLAY(display);
  DeviceDirectory device;
  // A note typed a letter at a time: each action settles in real time in
  // a window, so the script is still running when the window closes.
  std::string script = "tap +\n";
  for (int i = 0; i < 2000; ++i) script += "type x\n";
  std::string path = device.path() + ".qbs";
  std::ofstream(path) << script;
  WindowedProgram program(display, device.path(), {"--script", path});
  ASSERT_FALSE(program.window().empty()) << program.errors();
  ASSERT_TRUE(program.waitForOutput("> type x")) << program.errors();
  ASSERT_TRUE(program.close());
  EXPECT_EQ(program.waitForExit(), 0) << program.errors();
  std::remove(path.c_str());
  size_t typed = 0;
  for (size_t at = 0; (at = program.output().find("> type x", at)) != std::string::npos; ++at) ++typed;
  EXPECT_LT(typed, 2000u) << "the script stopped with its window";

  // The app reopens the note it was showing, with what was typed so far.
  auto saved = testing::runProgram(device.path(), "screen\n");
  EXPECT_TRUE(saved.exitedCleanly()) << saved.output;
  EXPECT_NE(saved.output.find("TextView\n  \"x"), std::string::npos) << "what it typed was kept: " << saved.output;
}

TEST(WindowTest, WithoutADisplayTheProgramSaysSoAndEndsWithStatusTwo) {
  DeviceDirectory device;
  std::string command = "env -u DISPLAY -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER " +
                        testing::shellQuoted(QUILLBOX_BINARY_DIR "/Apps/quillbox/quillbox") + " --window --device " +
                        testing::shellQuoted(device.path() + "/phone") + " </dev/null 2>&1";
  std::string printed;
  FILE* p = ::popen(command.c_str(), "r");
  ASSERT_NE(p, nullptr);
  char buffer[512];
  while (std::fgets(buffer, sizeof buffer, p)) printed += buffer;
  int status = ::pclose(p);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 2) << printed;
  EXPECT_NE(printed.find("no display"), std::string::npos) << printed;
  EXPECT_FALSE(std::filesystem::exists(device.path() + "/phone")) << "nothing was launched";
}

}  // namespace
}  // namespace quillbox
