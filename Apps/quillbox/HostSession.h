// The host program's actions: one command line at a time (HostCommand.h),
// done through the input layer on the running application, answered with
// a result the caller prints; after an action the caller prints the screen
// (ui::ScreenText). `help` lists the commands.
//
// The clock is virtual so that `advance` can move it. For a person at the
// terminal it follows real time between commands (setFollowsRealTime);
// scripts keep it still except for the input layer's settling and `advance`.
// Either way it moves from deadline to deadline, reminders arrive as it
// passes their dates (ReminderDelivery.h, printed with the answer), and
// where it stands is saved for the next launch after every command
// (DeviceClock.h).
#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "Apps/quillbox/HostCommand.h"
#include "Apps/quillbox/ReminderDelivery.h"
#include "Apps/quillbox/ScreenShots.h"
#include "Platform/Foundation/Date.h"

namespace quillbox {

class HostSession {
 public:
  struct Result {
    bool ok = true;
    bool quit = false;
    bool showScreen = false;  // an action ran (or `screen`): print the screen
    std::string output;       // what to print first: an answer or why it failed
  };

  // Relative file paths (`open`) are taken from `baseDirectory` (empty: the
  // current directory).
  explicit HostSession(std::string baseDirectory = {});

  void setFollowsRealTime(bool follows);
  // Pictures of the screen into `directory`: one now, then one after every
  // action (ScreenShots.h). False and `why` when they cannot be written.
  bool startShots(const std::string& directory, std::string* why) { return shots_.start(directory, why); }

  Result run(const std::string& line);
  Result run(const HostCommand& command);
  // An action done at the window (a touch, a key) rather than by a command,
  // with what every command has around it: reminders due meanwhile in the
  // answer, the clock kept, a picture with --shots. Not ok, and with no
  // answer, when `action` did nothing.
  Result act(const std::function<bool()>& action);
  // Reminders that arrived by themselves since the last action or command
  // (in a window the clock moves between them), a line each; empty when
  // none did.
  std::string arrivedReminders();

  // The command list.
  static std::string help();
  // The visible screen now.
  static std::string screen();

 private:
  void begin();
  Result finish(Result result, bool remember);
  void catchUpWithRealTime();
  void noticeDayChange();
  Result expect(const std::string& text, bool present);
  Result expectOrder(const std::vector<std::string>& texts);

  std::string baseDirectory_;
  bool followsRealTime_ = false;
  std::chrono::steady_clock::time_point lastCommand_;
  ns::Date day_;             // the start of the day the last command saw
  std::string lastOutput_;  // `expect` also looks at the last answer
  ReminderDelivery reminders_;
  ScreenShots shots_;
};

}  // namespace quillbox
