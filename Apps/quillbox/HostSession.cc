#include "Apps/quillbox/HostSession.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <sstream>

#include "Apps/quillbox/BackgroundWait.h"
#include "Apps/quillbox/DeviceClock.h"
#include "Libraries/AppSupportKit/TXKit.h"
#include "Notes/NTSettings.h"
#include "Platform/Foundation/Device.h"
#include "Platform/Dispatch/RunLoop.h"
#include "Platform/Foundation/Calendar.h"
#include "Platform/Foundation/Clock.h"
#include "Platform/Foundation/StringOps.h"
#include "Platform/Foundation/URL.h"
#include "Platform/LocalAuthentication/BiometricPrompt.h"
#include "Platform/UIKit/ActivityViewController.h"
#include "Platform/UIKit/Application.h"
#include "Platform/UIKit/Button.h"
#include "Platform/UIKit/TableView.h"
#include "Platform/UIKit/Input.h"
#include "Platform/UIKit/MailComposeViewController.h"
#include "Platform/UIKit/ScreenText.h"
#include "Platform/UserNotifications/UserNotificationCenter.h"

namespace quillbox {

namespace {

using Result = HostSession::Result;

Result failed(std::string why) { return Result{false, false, false, std::move(why)}; }
Result answered(std::string text) { return Result{true, false, false, std::move(text)}; }

// An input action: the screen follows, or why nothing happened.
Result acted(bool done) {
  if (!done) return failed(ui::Input::lastFailure());
  return Result{true, false, true, {}};
}

// "90", "1.5", "2m", "3h", "1d".
bool parseSeconds(const std::string& text, double* seconds) {
  if (text.empty()) return false;
  double unit = 1;
  std::string number = text;
  switch (text.back()) {
    case 's': unit = 1; break;
    case 'm': unit = 60; break;
    case 'h': unit = 3600; break;
    case 'd': unit = 86400; break;
    default: break;
  }
  if (unit != 1 || text.back() == 's') number.pop_back();
  double value = 0;
  auto [end, ec] = std::from_chars(number.data(), number.data() + number.size(), value);
  if (ec != std::errc() || end != number.data() + number.size() || value < 0) return false;
  *seconds = value * unit;
  return true;
}

// A settings value as typed: a whole number, a real number, YES/NO, else text.
ns::Value parseSettingsValue(const std::string& text) {
  const char* b = text.data();
  const char* e = b + text.size();
  long long integer = 0;
  if (auto [end, ec] = std::from_chars(b, e, integer); ec == std::errc() && end == e && !text.empty())
    return ns::Value(integer);
  double real = 0;
  if (auto [end, ec] = std::from_chars(b, e, real); ec == std::errc() && end == e && !text.empty())
    return ns::Value(real);
  if (text == "YES" || text == "true") return ns::Value(true);
  if (text == "NO" || text == "false") return ns::Value(false);
  return ns::Value(text);
}

std::string settingsLine(const std::string& key) {
  auto value = NTSettings::userDefaults()->objectForKey(key);
  return key + " = " + (value ? value->description() : std::string("(not set)"));
}

std::string passcodeText() {
  auto quoted = [](const std::optional<std::string>& s) { return s ? "\"" + *s + "\"" : std::string("none"); };
  switch (NTSettings::passcodeState()) {
    case NTSettings::PasscodeState::Unreadable:
      return "Passcode: unreadable (the keychain cannot be read)";
    case NTSettings::PasscodeState::None:
    case NTSettings::PasscodeState::Set:
      break;
  }
  return "Passcode: " + quoted(NTSettings::pinNumber()) + ", security question: " +
         quoted(NTSettings::securityQuestion()) + ", answer: " + quoted(NTSettings::securityAnswer());
}

// One block per mail sent in this run: recipients, subject, body, attachments.
std::string sentMailText() {
  auto mails = ui::MailComposeViewController::sentMessages();
  if (mails.empty()) return "No mail was sent.";
  std::string out;
  for (const auto& m : mails) {
    std::string to;
    for (const auto& r : m.toRecipients) to += (to.empty() ? "" : ", ") + r;
    out += (out.empty() ? "" : "\n") + ("Mail to: " + to + "\nSubject: " + m.subject + "\nBody: " + m.body);
    for (const auto& a : m.attachments) out += "\nAttachment: " + a.fileName;
  }
  return out;
}

std::string openedURLsText() {
  const auto& urls = ui::Application::shared().openedURLs();
  if (urls.empty()) return "No URL was opened.";
  std::string out;
  for (const auto& url : urls) out += (out.empty() ? "" : "\n") + ("Opened: " + url);
  return out;
}

Result typeText(const std::string& text) {
  std::string typed = unescapeTyped(text);
  size_t start = 0;
  while (true) {
    size_t newline = typed.find('\n', start);
    std::string piece = typed.substr(start, newline == std::string::npos ? std::string::npos : newline - start);
    if (!piece.empty() && !ui::Input::type(piece)) return acted(false);
    if (newline == std::string::npos) break;
    if (!ui::Input::pressReturn()) return acted(false);
    start = newline + 1;
  }
  return acted(true);
}

// One line per reminder: "Reminder: <title> - <body>", the body's lines
// joined by spaces; a part that is empty leaves out its separator too.
std::string reminderLines(const std::vector<un::Notification>& delivered) {
  std::ostringstream out;
  for (const auto& n : delivered) {
    std::string body = n.request.content.body;
    std::replace(body.begin(), body.end(), '\n', ' ');
    std::string title = ns::trimmingWhitespace(n.request.content.title);
    body = ns::trimmingWhitespace(body);
    out << (&n == &delivered.front() ? "" : "\n") << "Reminder: " << title
        << (title.empty() || body.empty() ? "" : " - ") << body;
  }
  return out.str();
}

Result deliverNotifications() {
  auto delivered = ReminderDelivery::deliverDue();
  ui::Input::settle();
  return Result{true, false, true, delivered.empty() ? "No reminder is due." : reminderLines(delivered)};
}

// The person at the sensor answers the system's prompt.
Result answerBiometricPrompt(const std::vector<std::string>& args) {
  const std::pair<const char*, std::optional<la::ErrorCode>> answers[] = {
      {"match", std::nullopt},
      {"fail", la::kErrorAuthenticationFailed},
      {"cancel", la::kErrorUserCancel},
  };
  if (args.size() != 1) return failed("usage: biometry match|fail|cancel");
  for (const auto& [word, failure] : answers) {
    if (args[0] != word) continue;
    if (!la::BiometricPrompt::answer(failure)) return failed("no Face ID or Touch ID prompt is showing");
    ui::Input::settle();
    return Result{true, false, true, {}};
  }
  return failed("usage: biometry match|fail|cancel");
}

// Where the share sheet's "Save Image" wrote its pictures, one line each.
std::string savedImageLines() {
  std::string out;
  for (const auto& path : ui::ActivityViewController::takeSavedImagePaths())
    out += (out.empty() ? "" : "\n") + std::string("Saved the image to ") + path + ".";
  return out;
}

// A row named by its number on screen ("3"), when the list has it.
std::optional<int> rowNumber(const std::string& text) {
  auto digit = [](char c) { return c >= '0' && c <= '9'; };
  if (text.empty() || text.size() > 6 || !std::all_of(text.begin(), text.end(), digit)) return std::nullopt;
  int number = std::stoi(text);
  ui::TableView* table = ui::Input::numberedTable();
  if (!table || !table->indexPathForRowNumber(number)) return std::nullopt;
  return number;
}

// The floating add button, its shadow, ball (named "Add Note") and plus,
// prints as the one thing a person sees, "[+]" (and answers to "+").
std::string showAddButtonAsPlus(const std::string& screen) {
  std::vector<std::string> lines;
  std::istringstream in(screen);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  auto is = [&](size_t i, const char* text) { return i < lines.size() && ns::trimmingWhitespace(lines[i]) == text; };
  std::string out;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (is(i, "(AddButton-Shadow)") && is(i + 1, "[Add Note]") && is(i + 2, "(AddButton-Plus)")) {
      out += lines[i].substr(0, lines[i].find('(')) + "[+]\n";
      i += 2;
      continue;
    }
    out += lines[i] + "\n";
  }
  return out;
}

Result tap(const std::string& text) {
  if (text == "+") return acted(ui::Input::tap("AddButton"));
  // A number is a row unless a button shows it (the passcode keypad).
  if (auto number = rowNumber(text); number && !dynamic_cast<ui::Button*>(ui::Input::find(text)))
    return acted(ui::Input::tapRow(*number));
  return acted(ui::Input::tap(text));
}

Result swipe(const std::vector<std::string>& args) {
  if (args.empty() || args.size() > 2) return failed("usage: swipe ROW [ACTION]");
  auto number = rowNumber(args[0]);
  if (args.size() == 2)
    return acted(number ? ui::Input::swipeRow(*number, args[1]) : ui::Input::swipeRow(args[0], args[1]));
  auto actions = number ? ui::Input::rowActions(*number) : ui::Input::rowActions(args[0]);
  if (!actions) return failed(ui::Input::lastFailure());
  if (actions->empty()) return answered("The row has no swipe actions.");
  std::string list;
  for (const auto& a : *actions) list += (list.empty() ? "" : ", ") + a;
  return answered("Swipe actions: " + list);
}

Result drag(const std::vector<std::string>& args) {
  if (args.size() != 2) return failed("usage: drag ROW TARGET");
  auto from = rowNumber(args[0]);
  auto to = rowNumber(args[1]);
  if (from && to) return acted(ui::Input::dragRow(*from, *to));
  return acted(ui::Input::dragRow(args[0], args[1]));
}

Result scroll(const HostCommand& c) {
  if (c.args.size() == 1 && c.args[0] == "down") return acted(ui::Input::scroll(1));
  if (c.args.size() == 1 && c.args[0] == "up") return acted(ui::Input::scroll(-1));
  if (c.args.size() >= 2 && c.args[0] == "to") {
    std::string text = c.text.substr(c.text.find("to") + 2);
    text = ns::trimmingWhitespace(text);
    if (c.args.size() == 2) text = c.args[1];
    return acted(ui::Input::scrollTo(text));
  }
  return failed("usage: scroll down|up|to TEXT");
}

// "2026-12-24 09:30" in the device's calendar and time zone.
std::optional<ns::Date> parseDateAndTime(const std::string& day, const std::string& time) {
  int year = 0, month = 0, dayOfMonth = 0, hour = 0, minute = 0;
  char tail = 0;
  if (std::sscanf(day.c_str(), "%4d-%2d-%2d%c", &year, &month, &dayOfMonth, &tail) != 3) return std::nullopt;
  if (std::sscanf(time.c_str(), "%2d:%2d%c", &hour, &minute, &tail) != 2) return std::nullopt;
  if (month < 1 || month > 12 || dayOfMonth < 1 || dayOfMonth > 31 || hour > 23 || minute > 59 || hour < 0 || minute < 0)
    return std::nullopt;
  ns::DateComponents components;
  components.year = year;
  components.month = month;
  components.day = dayOfMonth;
  components.hour = hour;
  components.minute = minute;
  auto date = ns::Calendar::current().dateFromComponents(components);
  // A day the month does not have (2026-02-30) is no date.
  if (!date || ns::Calendar::current().component(ns::kCalendarUnitDay, *date) != dayOfMonth) return std::nullopt;
  return date;
}

// `pick 2026-12-24 09:30` or `pick +2h` (from now): the frontmost date picker.
Result pick(const std::vector<std::string>& args) {
  const char* usage = "usage: pick YYYY-MM-DD HH:MM, or pick +TIME (\"+2h\", \"+1d\")";
  std::optional<ns::Date> date;
  double seconds = 0;
  if (args.size() == 1 && args[0].size() > 1 && args[0][0] == '+' && parseSeconds(args[0].substr(1), &seconds))
    date = ns::Date(ns::Date::now().timeIntervalSinceReferenceDate() + seconds);
  else if (args.size() == 2)
    date = parseDateAndTime(args[0], args[1]);
  if (!date) return failed(usage);
  return acted(ui::Input::pickDate(*date).has_value());
}

// Whether the calendar can name the date: past its range a date has no
// year, day or time to show (a note stamped there would show no date).
bool withinCalendar(ns::Date date) {
  const auto& calendar = ns::Calendar::current();
  uint32_t units = ns::kCalendarUnitYear | ns::kCalendarUnitMonth | ns::kCalendarUnitDay | ns::kCalendarUnitHour |
                   ns::kCalendarUnitMinute | ns::kCalendarUnitSecond;
  auto named = calendar.dateFromComponents(calendar.components(units, date));
  return named && std::abs(named->timeIntervalSince(date)) < 1;
}

Result runQuickAction() {
  auto& app = ui::Application::shared();
  if (app.shortcutItems().empty()) return failed("the app offers no quick action");
  ui::ShortcutItem item = app.shortcutItems().front();
  app.performShortcut(item);
  ui::Input::settle();
  return Result{true, false, true, "Quick action: " + item.localizedTitle};
}

Result waitAction(const std::vector<std::string>& args) {
  double seconds = 10;
  if (args.size() > 1 || (args.size() == 1 && !parseSeconds(args[0], &seconds)) || seconds > 600)
    return failed("usage: wait [TIME] (at most 10m)");
  std::vector<std::string> running;
  if (!waitForBackgroundWork(seconds, &running)) {
    std::string names;
    for (const auto& name : running) names += (names.empty() ? "" : ", ") + name;
    return failed("background work still running: " + names);
  }
  ui::Input::settle();
  return Result{true, false, true, {}};
}

}  // namespace

HostSession::HostSession(std::string baseDirectory)
    : baseDirectory_(std::move(baseDirectory)),
      lastCommand_(std::chrono::steady_clock::now()),
      day_(ns::Calendar::current().startOfDay(ns::Date::now())) {}

void HostSession::setFollowsRealTime(bool follows) {
  followsRealTime_ = follows;
  lastCommand_ = std::chrono::steady_clock::now();
}

// The system tells the app when the day changes (its lists show "Today"
// times and "Yesterday"); here the clock moves only with the commands.
void HostSession::noticeDayChange() {
  ns::Date today = ns::Calendar::current().startOfDay(ns::Date::now());
  if (today.timeIntervalSinceReferenceDate() == day_.timeIntervalSinceReferenceDate()) return;
  day_ = today;
  ui::Application::shared().significantTimeChange();
  ui::Input::settle();
}

void HostSession::catchUpWithRealTime() {
  auto now = std::chrono::steady_clock::now();
  double elapsed = std::chrono::duration<double>(now - lastCommand_).count();
  lastCommand_ = now;
  if (followsRealTime_ && elapsed > 0) ui::Input::advance(elapsed);
}

std::string HostSession::screen() {
  std::string text = showAddButtonAsPlus(ui::ScreenText::renderForPerson());
  // The system's prompt lies over the app.
  if (auto prompt = la::BiometricPrompt::shown())
    text += la::BiometricPrompt::name(prompt->type) + ": \"" + prompt->reason + "\" (biometry match, fail or cancel)\n";
  return text;
}

std::string HostSession::help() {
  return R"(Commands (TEXT is what the screen shows; quote a text with spaces when more follows it;
a ROW is a row's number on screen or its text; a control is named by what the screen prints for it
between [ ]: its accessibility label, else its title, else its image's name):
  tap TEXT             tap the row, button, bar button or note line showing TEXT ("+" adds a note;
                       a row off screen is scrolled to first; a note line gets the cursor at its end)
  tap N                tap row N of the list (scrolled to first when it is off screen)
  type TEXT            type TEXT exactly as it follows "type " (spaces too; "\n" presses return)
  return               press the return key
  delete [N]           delete N characters before the cursor (1)
  swipe ROW [ACTION]   swipe ROW and tap its action ACTION; without one, list its actions
  drag ROW TARGET      drag ROW to the place of row TARGET (while editing)
  scroll down|up       move the list by a screenful, as a finger would
  scroll to TEXT       scroll the list to the row showing TEXT
  pick DATE TIME       set the date picker: "pick 2026-12-24 09:30", or "pick +2h" from now
  edit                 press Edit (or Done) in the navigation bar
  toggle TEXT          flip the switch in the row showing TEXT
  slide TEXT VALUE     drag the slider in the row showing TEXT to VALUE
  sent-mail            show the mails sent so far in this run
  opened-urls          show the URLs the app asked the system to open in this run
  back                 go back
  background           send the app to the background
  foreground           bring the app back to the front
  biometry ANSWER      answer the Face ID or Touch ID prompt: match, fail or cancel
  open FILE            hand a file to the app, as another app would
  quick                run the home-screen quick action
  advance TIME         move the clock: seconds, or with m, h or d ("90", "2h", "1d")
  wait [TIME]          let background work finish (backups, fetches), for at most TIME of real time (10s)
  notify               deliver the reminders that are due
  set KEY VALUE        set a settings key (VALUE: a number, YES, NO or a text)
  get KEY              show a settings key
  passcode             show the passcode items of the keychain
  screen               show the screen again
  shot FILE            write the screen as a PNG picture to FILE
  expect TEXT          fail unless TEXT is on the screen (or in the last answer)
  expect-not TEXT      fail when TEXT is on the screen
  expect-order A B...  fail unless the texts are on the screen in this order (top first)
  help                 this list
  quit                 leave the app: it goes to the background and the system ends it)";
}

HostSession::Result HostSession::run(const std::string& line) {
  auto command = HostCommand::parse(line);
  if (!command) return {};
  return run(*command);
}

void HostSession::begin() {
  reminders_.arm();
  catchUpWithRealTime();
  noticeDayChange();
}

HostSession::Result HostSession::act(const std::function<bool()>& action) {
  begin();
  return finish(action() ? Result{true, false, true, {}} : Result{false, false, false, {}}, true);
}

std::string HostSession::arrivedReminders() {
  auto arrived = reminders_.takeDelivered();
  return arrived.empty() ? std::string() : reminderLines(arrived);
}

HostSession::Result HostSession::run(const HostCommand& c) {
  begin();
  Result result = [&]() -> Result {
    const std::string& w = c.word;
    auto needs = [&](size_t n, const char* usage) -> std::optional<Result> {
      if (c.args.size() == n) return std::nullopt;
      return failed(std::string("usage: ") + usage);
    };
    if (w == "help" || w == "?") return answered(help());
    if (w == "screen") return Result{true, false, true, {}};
    if (w == "shot") {
      if (c.text.empty()) return failed("usage: shot FILE");
      std::string why;
      if (!ScreenShots::write(c.text, &why)) return failed(why);
      return answered("Wrote " + c.text + ".");
    }
    if (w == "quit" || w == "exit") {
      // As on the device: the app goes to the background (saving what is
      // open) and the system ends it there.
      ui::Application::shared().enterBackground();
      dispatch::RunLoop::main().drain();
      ui::Application::shared().terminate();
      dispatch::RunLoop::main().drain();
      return Result{true, true, false, {}};
    }
    if (w == "tap") {
      if (c.text.empty()) return failed("usage: tap TEXT");
      return tap(c.text);
    }
    // A keyboard keeps every space: what follows the word and its one
    // space, unless it is one quoted text.
    if (w == "type") return typeText(c.quoted ? c.text : c.raw);
    if (w == "return") return acted(ui::Input::pressReturn());
    if (w == "delete") {
      int n = 1;
      if (c.args.size() > 1) return failed("usage: delete [N]");
      if (!c.args.empty()) {
        const std::string& a = c.args[0];
        auto [end, ec] = std::from_chars(a.data(), a.data() + a.size(), n);
        if (ec != std::errc() || end != a.data() + a.size() || n < 1) return failed("usage: delete [N]");
      }
      for (int i = 0; i < n; ++i) {
        if (!ui::Input::deleteBackward()) return acted(false);
      }
      return acted(true);
    }
    if (w == "swipe") return swipe(c.args);
    if (w == "drag") return drag(c.args);
    if (w == "scroll") return scroll(c);
    if (w == "pick") return pick(c.args);
    if (w == "edit") {
      if (ui::Input::pressBarButton("Edit")) return acted(true);
      if (ui::Input::pressBarButton("Done")) return acted(true);
      return failed("no Edit or Done button on screen");
    }
    if (w == "toggle") {
      if (c.text.empty()) return failed("usage: toggle TEXT");
      return acted(ui::Input::toggle(c.text));
    }
    if (w == "slide") {
      if (auto bad = needs(2, "slide TEXT VALUE")) return *bad;
      float value = 0;
      const std::string& a = c.args[1];
      auto [end, ec] = std::from_chars(a.data(), a.data() + a.size(), value);
      if (ec != std::errc() || end != a.data() + a.size()) return failed("usage: slide TEXT VALUE");
      return acted(ui::Input::slide(c.args[0], value));
    }
    if (w == "sent-mail") return answered(sentMailText());
    if (w == "opened-urls") return answered(openedURLsText());
    if (w == "back") return acted(ui::Input::goBack());
    if (w == "background") {
      ui::Input::background();
      return acted(true);
    }
    if (w == "foreground") {
      ui::Input::foreground();
      return acted(true);
    }
    if (w == "open") {
      if (c.text.empty()) return failed("usage: open FILE");
      std::filesystem::path path(c.text);
      if (path.is_relative() && !baseDirectory_.empty()) path = std::filesystem::path(baseDirectory_) / path;
      path = std::filesystem::absolute(path).lexically_normal();
      bool handled = ui::Application::shared().deliverOpenURL(ns::URL::fileURLWithPath(path.string()).absoluteString());
      ui::Input::settle();
      return Result{true, false, true, handled ? "" : "The app did not take " + path.string() + "."};
    }
    if (w == "quick") return runQuickAction();
    if (w == "biometry") return answerBiometricPrompt(c.args);
    if (w == "advance") {
      double seconds = 0;
      if (c.args.size() != 1 || !parseSeconds(c.args[0], &seconds)) return failed("usage: advance TIME");
      if (!withinCalendar(ns::Date(ns::Date::now().timeIntervalSinceReferenceDate() + seconds)))
        return failed("the calendar ends before " + c.args[0] + " from now: the clock stays where it is");
      ui::Input::advance(seconds);
      ui::Input::settle();
      return acted(true);
    }
    if (w == "wait") return waitAction(c.args);
    if (w == "notify") return deliverNotifications();
    if (w == "set") {
      if (auto bad = needs(2, "set KEY VALUE")) return *bad;
      NTSettings::userDefaults()->setObject(parseSettingsValue(c.args[1]), c.args[0]);
      ui::Input::settle();
      return answered(settingsLine(c.args[0]));
    }
    if (w == "get") {
      if (auto bad = needs(1, "get KEY")) return *bad;
      return answered(settingsLine(c.args[0]));
    }
    if (w == "passcode") return answered(passcodeText());
    if (w == "expect") return expect(c.text, true);
    if (w == "expect-not") return expect(c.text, false);
    if (w == "expect-order") return expectOrder(c.args);
    return failed("unknown command \"" + w + "\" (help lists the commands)");
  }();
  return finish(std::move(result), !c.word.starts_with("expect"));
}

HostSession::Result HostSession::finish(Result result, bool remember) {
  noticeDayChange();
  // Reminders that fell due while the clock moved arrived as on a device.
  if (auto arrived = reminders_.takeDelivered(); !arrived.empty())
    result.output += (result.output.empty() ? "" : "\n") + reminderLines(arrived);
  if (auto saved = savedImageLines(); !saved.empty()) result.output += (result.output.empty() ? "" : "\n") + saved;
  DeviceClock::save(ns::Device::current().directory());
  if (remember) lastOutput_ = result.output;
  if (result.ok && result.showScreen) {
    std::string why;
    if (!shots_.next(&why)) return failed(why);
  }
  return result;
}

HostSession::Result HostSession::expect(const std::string& text, bool present) {
  if (text.empty()) return failed(present ? "usage: expect TEXT" : "usage: expect-not TEXT");
  dispatch::RunLoop::main().drain();
  bool onScreen = screen().find(text) != std::string::npos;
  bool inAnswer = lastOutput_.find(text) != std::string::npos;
  if (present && !onScreen && !inAnswer) return failed("expected \"" + text + "\", which is not on the screen");
  if (!present && onScreen) return failed("expected no \"" + text + "\", but the screen shows it");
  return {};
}

HostSession::Result HostSession::expectOrder(const std::vector<std::string>& texts) {
  if (texts.size() < 2) return failed("usage: expect-order A B...");
  dispatch::RunLoop::main().drain();
  std::string shown = screen();
  size_t from = 0;
  for (size_t i = 0; i < texts.size(); ++i) {
    size_t at = shown.find(texts[i], from);
    if (at != std::string::npos) {
      from = at + texts[i].size();
      continue;
    }
    if (i == 0 || shown.find(texts[i]) == std::string::npos)
      return failed("expected \"" + texts[i] + "\", which is not on the screen");
    return failed("expected \"" + texts[i] + "\" after \"" + texts[i - 1] + "\", but it comes before it");
  }
  return {};
}

}  // namespace quillbox
