// The host program's commands and scripts against a small stand-in app: a
// navigation controller with a list of names that can be opened, edited,
// reordered and deleted, and a page with a text field.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "Apps/quillbox/HostSession.h"
#include "Apps/quillbox/ScriptRunner.h"
#include "Notes/NTSettings.h"
#include "Platform/Dispatch/Queue.h"
#include "Platform/Graphics/Image.h"
#include "Platform/UIKit/Application.h"
#include "Platform/UIKit/BarButtonItem.h"
#include "Platform/UIKit/Label.h"
#include "Platform/UIKit/NavigationController.h"
#include "Platform/UIKit/NavigationItem.h"
#include "Platform/UIKit/TableViewController.h"
#include "Platform/UIKit/TextField.h"
#include "Platform/UIKit/testing/InterfaceTest.h"
#include "Platform/UserNotifications/UserNotificationCenter.h"

namespace quillbox {
namespace {

using Strings = std::vector<std::string>;

// A page with a text field; return is recorded.
class PageController : public ui::ViewController, public ui::TextFieldDelegate {
 public:
  std::shared_ptr<ui::TextField> field = std::make_shared<ui::TextField>();
  int returns = 0;
  void viewDidLoad() override {
    field->setPlaceholder("Name");
    field->setDelegate(std::dynamic_pointer_cast<PageController>(shared_from_this()));
    field->setFrame({20, 120, 300, 30});
    view()->addSubview(field);
  }
  bool textFieldShouldReturn(ui::TextField&) override {
    ++returns;
    return true;
  }
};

class ListController : public ui::TableViewController {
 public:
  Strings names{"Inbox", "Work", "Home"};

  void viewDidLoad() override {
    setTitle("Lists");
    navigationItem().setRightBarButtonItem(editButtonItem());
    tableView().registerCell("Cell", [] { return std::make_shared<ui::TableViewCell>(ui::TableViewCellStyle::Default, "Cell"); });
  }
  int numberOfRows(ui::TableView&, int) override { return int(names.size()); }
  std::shared_ptr<ui::TableViewCell> cellForRow(ui::TableView& table, const ui::IndexPath& path) override {
    auto cell = table.dequeueReusableCell("Cell", path);
    cell->textLabel().setText(names[size_t(path.row)]);
    return cell;
  }
  bool canEditRow(ui::TableView&, const ui::IndexPath&) override { return true; }
  bool canMoveRow(ui::TableView&, const ui::IndexPath&) override { return true; }
  void commitEditingStyle(ui::TableView& table, ui::TableViewCellEditingStyle, const ui::IndexPath& path) override {
    names.erase(names.begin() + path.row);
    table.deleteRows({path});
  }
  void moveRow(ui::TableView&, const ui::IndexPath& from, const ui::IndexPath& to) override {
    std::string name = names[size_t(from.row)];
    names.erase(names.begin() + from.row);
    names.insert(names.begin() + to.row, name);
  }
  void didSelectRow(ui::TableView&, const ui::IndexPath& path) override {
    auto page = std::make_shared<PageController>();
    page->setTitle(names[size_t(path.row)]);
    lastPage = page;
    navigationController()->pushViewController(page, true);
  }
  std::shared_ptr<PageController> lastPage;  // kept after it is popped
};

// Records what the application hands its delegate.
class RecordingDelegate : public ui::ApplicationDelegate {
 public:
  Strings log;
  bool openURL(ui::Application&, const std::string& url, const ns::Dictionary&) override {
    log.push_back("open " + url);
    return true;
  }
  void performActionForShortcutItem(ui::Application&, const ui::ShortcutItem& item,
                                    std::function<void(bool)> completion) override {
    log.push_back("quick " + item.type);
    completion(true);
  }
  void willTerminate(ui::Application&) override { log.push_back("terminate"); }
};

class HostSessionTest : public ui::testing::InterfaceTest {
 protected:
  HostSessionTest() {
    delegate = std::make_shared<RecordingDelegate>();
    ui::Application::shared().setDelegate(delegate);
    ui::Application::shared().launch();
    show(std::make_shared<ui::NavigationController>(list));
  }

  // Runs `script` as a file would be run; the output in `out`.
  int runScript(const std::string& script, std::string* out) {
    std::istringstream in(script);
    std::ostringstream printed;
    int status = ScriptRunner::run(in, "test.qbs", session, printed);
    *out = printed.str();
    return status;
  }

  std::shared_ptr<ListController> list = std::make_shared<ListController>();
  std::shared_ptr<RecordingDelegate> delegate;
  HostSession session{"/base"};
};

TEST(HostCommandTest, SplitsWordsTextsAndQuotes) {
  struct Case {
    std::string line;
    bool command;
    std::string word, text;
    Strings args;
  };
  const Case cases[] = {
      {"", false, "", "", {}},
      {"   # a comment", false, "", "", {}},
      {"back", true, "back", "", {}},
      {"  tap   All Notes  ", true, "tap", "All Notes", {"All", "Notes"}},
      {"tap \"All Notes\"", true, "tap", "All Notes", {"All Notes"}},
      {"swipe \"My note\" Delete", true, "swipe", "\"My note\" Delete", {"My note", "Delete"}},
      {"type say \"hi\" # not a comment", true, "type", "say \"hi\" # not a comment", {"say", "hi", "#", "not", "a", "comment"}},
      {"set Key \"a \\\"b\\\"\"", true, "set", "Key \"a \\\"b\\\"\"", {"Key", "a \"b\""}},
      {"tap \"unclosed text", true, "tap", "unclosed text", {"unclosed text"}},
  };
  for (const auto& c : cases) {
    auto parsed = HostCommand::parse(c.line);
    ASSERT_EQ(parsed.has_value(), c.command) << c.line;
    if (!parsed) continue;
    EXPECT_EQ(parsed->word, c.word) << c.line;
    EXPECT_EQ(parsed->text, c.text) << c.line;
    EXPECT_EQ(parsed->args, c.args) << c.line;
  }
  EXPECT_EQ(unescapeTyped("a\\nb\\\\n\\x"), "a\nb\\n\\x");
}

// What a keyboard types: the rest of the line after the word and its one
// space, spaces kept; a rest that is one quoted text is that text.
TEST(HostCommandTest, TheRestOfTheLineIsKeptExactly) {
  struct Case {
    std::string line, raw;
    bool quoted;
  };
  const Case cases[] = {
      {"type Hello ", "Hello ", false},
      {"type  world", " world", false},
      {"  type a  b  \r", "a  b  ", false},
      {"type \"  \"", "\"  \"", true},
      {"type", "", false},
      {"type ", "", false},
  };
  for (const auto& c : cases) {
    auto parsed = HostCommand::parse(c.line);
    ASSERT_TRUE(parsed) << c.line;
    EXPECT_EQ(parsed->raw, c.raw) << c.line;
    EXPECT_EQ(parsed->quoted, c.quoted) << c.line;
  }
}

TEST_F(HostSessionTest, ScriptRunsActionsAndPrintsEachScreen) {
  std::string out;
  int status = runScript(
      "# open a list, type a name and come back\n"
      "expect \"Lists\"\n"
      "expect-order Inbox Work Home\n"
      "tap Work\n"
      "expect NavigationBar: [< Lists] \"Work\"\n"
      "tap Name\n"
      "type Ann\\nBo\n"
      "expect \"AnnBo\"\n"
      "back\n"
      "expect-not \"Work\" [\n",
      &out);
  EXPECT_EQ(status, 0) << out;
  EXPECT_NE(out.find("> tap Work\n"), std::string::npos) << out;
  // The screen as a person reads it: no window lines, rows numbered.
  EXPECT_EQ(out.find("Window"), std::string::npos) << out;
  EXPECT_NE(out.find("1. \"Inbox\""), std::string::npos) << out;
  auto page = list->lastPage;
  ASSERT_TRUE(page);
  EXPECT_EQ(page->returns, 1);
  EXPECT_EQ(page->field->text(), "AnnBo");
  // The end of the script ends the app.
  EXPECT_EQ(delegate->log.back(), "terminate");
}

TEST_F(HostSessionTest, FirstFailingLineStopsTheScriptWithItsNumberAndTheScreen) {
  struct Case {
    std::string badLine, why;
  };
  const Case cases[] = {
      {"expect Trash", "test.qbs:3: expected \"Trash\", which is not on the screen"},
      {"expect-not Inbox", "test.qbs:3: expected no \"Inbox\", but the screen shows it"},
      {"tap Trash", "test.qbs:3: nothing on screen shows \"Trash\""},
      {"swipe Home Archive", "test.qbs:3: the row offers no action \"Archive\"; swipe actions: Delete"},
      {"jump Home", "test.qbs:3: unknown command \"jump\""},
      {"drag Home", "test.qbs:3: usage: drag ROW TARGET"},
      {"tap 7", "test.qbs:3: nothing on screen shows \"7\"; on screen: rows 1-3, Edit"},
      {"pick +2h", "test.qbs:3: no date picker on screen"},
      {"pick tomorrow", "test.qbs:3: usage: pick"},
      {"scroll sideways", "test.qbs:3: usage: scroll down|up|to TEXT"},
      {"expect-order Inbox Home Work", "test.qbs:3: expected \"Work\" after \"Home\", but it comes before it"},
      {"expect-order Inbox Trash", "test.qbs:3: expected \"Trash\", which is not on the screen"},
  };
  for (const auto& c : cases) {
    std::string out;
    int status = runScript("# comment\nexpect Inbox\n" + c.badLine + "\ntap Home\n", &out);
    EXPECT_EQ(status, 1) << c.badLine;
    EXPECT_NE(out.find(c.why), std::string::npos) << out;
    EXPECT_NE(out.find("The screen showed:\nNavigationBar:"), std::string::npos) << out;
    // Nothing after the failing line ran.
    EXPECT_EQ(out.find("> tap Home"), std::string::npos) << out;
  }
}

TEST_F(HostSessionTest, EditDragAndSwipeChangeTheList) {
  EXPECT_FALSE(session.run("drag Home Inbox").ok);  // not editing yet
  auto r = session.run("edit");
  ASSERT_TRUE(r.ok) << r.output;
  EXPECT_TRUE(r.showScreen);
  EXPECT_NE(HostSession::screen().find("Table (editing)"), std::string::npos);
  r = session.run("drag Home Inbox");
  ASSERT_TRUE(r.ok) << r.output;
  EXPECT_EQ(list->names, (Strings{"Home", "Inbox", "Work"}));
  r = session.run("swipe Inbox Delete");
  ASSERT_TRUE(r.ok) << r.output;
  EXPECT_EQ(list->names, (Strings{"Home", "Work"}));
  ASSERT_TRUE(session.run("edit").ok);  // Done
  EXPECT_EQ(HostSession::screen().find("Table (editing)"), std::string::npos);
}

TEST_F(HostSessionTest, RowsAreTakenByTheirNumbers) {
  ASSERT_TRUE(session.run("edit").ok);
  auto r = session.run("drag 3 1");
  ASSERT_TRUE(r.ok) << r.output;
  EXPECT_EQ(list->names, (Strings{"Home", "Inbox", "Work"}));
  r = session.run("swipe 2");
  ASSERT_TRUE(r.ok) << r.output;
  EXPECT_EQ(r.output, "Swipe actions: Delete");
  ASSERT_TRUE(session.run("swipe 2 Delete").ok);
  EXPECT_EQ(list->names, (Strings{"Home", "Work"}));
  EXPECT_FALSE(session.run("drag 1 5").ok);  // "5" is no row, nor a row's text
  ASSERT_TRUE(session.run("edit").ok);
  ASSERT_TRUE(session.run("tap 2").ok);
  ASSERT_TRUE(list->lastPage);
  EXPECT_EQ(list->lastPage->title(), "Work");
}

// A list longer than the screen: the rows on screen, how many lie above
// and below, and scrolling as a finger would, to the last of 200 rows.
TEST_F(HostSessionTest, ALongListScrollsToItsLastRow) {
  list->names.clear();
  for (int i = 1; i <= 200; ++i) list->names.push_back("Name " + std::to_string(i));
  list->tableView().reloadData();
  std::string shown = HostSession::screen();
  EXPECT_NE(shown.find("1. \"Name 1\""), std::string::npos) << shown;
  EXPECT_NE(shown.find(" rows below"), std::string::npos) << shown;
  EXPECT_EQ(shown.find("Name 200"), std::string::npos) << shown;
  EXPECT_FALSE(session.run("scroll up").ok);  // at the top already
  ASSERT_TRUE(session.run("scroll down").ok);
  shown = HostSession::screen();
  EXPECT_NE(shown.find(" rows above"), std::string::npos) << shown;
  ASSERT_TRUE(session.run("scroll to Name 200").ok);
  shown = HostSession::screen();
  EXPECT_NE(shown.find("200. \"Name 200\""), std::string::npos) << shown;
  EXPECT_EQ(shown.find(" rows below"), std::string::npos) << shown;
  // A row off screen is scrolled to before it is tapped.
  ASSERT_TRUE(session.run("tap 5").ok);
  ASSERT_TRUE(list->lastPage);
  EXPECT_EQ(list->lastPage->title(), "Name 5");
  EXPECT_FALSE(session.run("scroll to Name 201").ok);
}

TEST_F(HostSessionTest, ClockMovesByTheGivenTime) {
  struct Case {
    std::string time;
    bool ok;
    double seconds;
  };
  const Case cases[] = {
      {"90", true, 90}, {"2m", true, 120}, {"1.5h", true, 5400}, {"1d", true, 86400}, {"30s", true, 30},
      {"", false, 0},   {"x", false, 0},   {"-5", false, 0},     {"2w", false, 0},
      // Past the calendar's range a date has no day to show.
      {"99999999999d", false, 0},
  };
  for (const auto& c : cases) {
    ns::Date before = ns::Date::now();
    auto r = session.run("advance " + c.time);
    EXPECT_EQ(r.ok, c.ok) << c.time;
    if (!c.ok) {
      EXPECT_EQ(ns::Date::now(), before) << c.time;
      continue;
    }
    // The settling after the move adds a moment, never less than asked.
    double moved = ns::Date::now().timeIntervalSince1970() - before.timeIntervalSince1970();
    EXPECT_GE(moved, c.seconds) << c.time;
    EXPECT_LT(moved, c.seconds + 5) << c.time;
  }
}

// `wait` serves the main queue until background tasks have ended, in real
// time and within its bound, and leaves the clock where it was.
TEST_F(HostSessionTest, WaitLetsBackgroundWorkFinishWithinItsBound) {
  auto& application = ui::Application::shared();
  ui::BackgroundTaskIdentifier task = application.beginBackgroundTask("Save Notes", nullptr);
  ns::Date before = ns::Date::now();
  auto stuck = session.run("wait 0.2");
  EXPECT_FALSE(stuck.ok);
  EXPECT_NE(stuck.output.find("Save Notes"), std::string::npos) << stuck.output;
  EXPECT_EQ(ns::Date::now(), before);

  // Ended from another thread by way of the main queue, as work does.
  std::thread worker([&] { dispatch::Queue::main()->async([&] { application.endBackgroundTask(task); }); });
  worker.join();
  EXPECT_TRUE(session.run("wait").ok);
  EXPECT_TRUE(application.runningBackgroundTasks().empty());
  for (const char* bad : {"wait x", "wait 1 2", "wait 11m"}) EXPECT_FALSE(session.run(bad).ok) << bad;
}

TEST_F(HostSessionTest, SettingsKeysAreWrittenToTheGroupSettingsWithTheirKinds) {
  struct Case {
    std::string value;
    ns::Value stored;
  };
  const Case cases[] = {
      {"1", ns::Value(1)}, {"2.5", ns::Value(2.5)}, {"YES", ns::Value(true)},
      {"NO", ns::Value(false)}, {"\"Courier New\"", ns::Value("Courier New")},
  };
  for (const auto& c : cases) {
    auto r = session.run("set TestKey " + c.value);
    ASSERT_TRUE(r.ok) << r.output;
    EXPECT_EQ(NTSettings::userDefaults()->objectForKey("TestKey"), c.stored) << c.value;
  }
  EXPECT_EQ(session.run("get TestKey").output, "TestKey = " + ns::Value("Courier New").description());
  EXPECT_EQ(session.run("get Missing").output, "Missing = (not set)");
  EXPECT_FALSE(session.run("set TestKey Courier New").ok);  // two words need quotes
  // `expect` also reads the last answer.
  session.run("set NTSettingsNotesSortOrder 1");
  EXPECT_TRUE(session.run("expect NTSettingsNotesSortOrder = 1").ok);
}

TEST_F(HostSessionTest, PasscodeShowsTheKeychainItems) {
  EXPECT_EQ(session.run("passcode").output, "Passcode: none, security question: none, answer: none");
  NTSettings::setPinNumber("1234");
  NTSettings::setSecurityQuestion("Pet?");
  NTSettings::setSecurityAnswer("Rex");
  EXPECT_EQ(session.run("passcode").output, "Passcode: \"1234\", security question: \"Pet?\", answer: \"Rex\"");
}

TEST_F(HostSessionTest, OpenQuickActionNotificationsAndQuitReachTheApp) {
  auto r = session.run("open files/backup one.zip");
  ASSERT_TRUE(r.ok) << r.output;
  r = session.run("open /tmp/../tmp/b.zip");
  ASSERT_TRUE(r.ok) << r.output;

  EXPECT_FALSE(session.run("quick").ok);  // no quick action yet
  ui::Application::shared().setShortcutItems({{"com.example.New", "New", "", "", {}}});
  r = session.run("quick");
  ASSERT_TRUE(r.ok) << r.output;
  EXPECT_TRUE(ui::Application::shared().lastShortcutSucceeded());

  auto center = un::UserNotificationCenter::currentNotificationCenter();
  EXPECT_EQ(session.run("notify").output, "No reminder is due.");
  center->setAuthorizationStatus(un::AuthorizationStatus::Authorized);
  un::NotificationRequest request;
  request.identifier = "n1";
  request.content.title = "Call Ann";
  request.content.body = "about the trip";
  center->addNotificationRequest(request);
  center->flush();
  EXPECT_EQ(session.run("notify").output, "Reminder: Call Ann - about the trip");
  // The app's own reminders have no title, and a note without a title
  // leaves the body's last line empty: no separator stands alone.
  request.identifier = "n2";
  request.content.title = "";
  request.content.body = "It's time to read this note:\n";
  center->addNotificationRequest(request);
  center->flush();
  EXPECT_EQ(session.run("notify").output, "Reminder: It's time to read this note:");
  EXPECT_TRUE(center->pendingRequests().empty());

  r = session.run("quit");
  EXPECT_TRUE(r.quit);
  EXPECT_EQ(delegate->log, (Strings{"open file:///base/files/backup%20one.zip", "open file:///tmp/b.zip",
                                    "quick com.example.New", "terminate"}));
}

TEST_F(HostSessionTest, ShotsArePicturesOfTheScreenAfterEachAction) {
  namespace fs = std::filesystem;
  std::string dir = ns::Device::current().directory() + "/shots";
  std::string why;
  ASSERT_TRUE(session.startShots(dir, &why)) << why;
  EXPECT_TRUE(session.run("tap Work").ok);
  EXPECT_TRUE(session.run("expect Name").ok);  // no action: no picture
  EXPECT_FALSE(session.run("tap Trash").ok);   // nothing happened: no picture
  EXPECT_TRUE(session.run("back").ok);
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (Strings{"0000.png", "0001.png", "0002.png"}));
  auto first = cg::Image::fromFile(dir + "/0000.png");
  auto pushed = cg::Image::fromFile(dir + "/0001.png");
  ASSERT_TRUE(first && pushed);
  EXPECT_EQ(first->pixelWidth(), 1170);
  EXPECT_NE(first->premultipliedPixels(), pushed->premultipliedPixels());

  // `shot FILE` writes one picture where it is told, or says why not.
  auto r = session.run("shot " + dir + "/by hand.png");
  EXPECT_TRUE(r.ok) << r.output;
  EXPECT_TRUE(fs::exists(dir + "/by hand.png"));
  r = session.run("shot " + dir + "/missing/x.png");
  EXPECT_FALSE(r.ok);
  EXPECT_NE(r.output.find("cannot write " + dir + "/missing/x.png"), std::string::npos) << r.output;
  EXPECT_FALSE(session.run("shot").ok);
  std::string blocked = ns::Device::current().directory() + "/a file";
  std::ofstream(blocked) << "x";
  ScreenShots shots;
  EXPECT_FALSE(shots.start(blocked + "/shots", &why));
  EXPECT_NE(why.find("cannot make the directory"), std::string::npos) << why;
}

}  // namespace
}  // namespace quillbox
