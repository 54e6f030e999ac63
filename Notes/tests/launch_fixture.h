// For tests of the launched app: a fresh device (phone or pad) with the
// source tree's main bundle, the storyboard "Main" registered, and
// launch() doing what the host program does (applicationMain with a new
// AppDelegate).
#pragma once

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "Libraries/AppSupportKit/TXKit.h"
#include "Notes/AppDelegate.h"
#include "Notes/MainStoryboard.h"
#include "Notes/NTData.h"
#include "Notes/tests/NotesTestBundle.h"
#include "Platform/Foundation/UserDefaults.h"
#include "Platform/UIKit/ApplicationMain.h"
#include "Platform/UIKit/testing/InterfaceTest.h"

namespace notes::testing {

inline const char* const kFirstNote =
    "This is your first note.\n\nTap anywhere to edit the note.\n\nFont is too small?\nAdjust font size & style in "
    "settings.\n\nTo keep your notes private, enable passcode in settings (gear icon at the top of the notes list).";

// Runs SQL on the store through a connection of its own (a trigger that
// refuses writes stands in for a full disk).
inline void execOnStore(const std::string& path, const std::string& sql) {
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
  char* message = nullptr;
  int rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &message);
  std::string why = message ? message : "";
  sqlite3_free(message);
  sqlite3_close(db);
  ASSERT_EQ(rc, SQLITE_OK) << why;
}

class LaunchTest : public ui::testing::InterfaceTest {
 protected:
  explicit LaunchTest(ns::UserInterfaceIdiom idiom = ns::UserInterfaceIdiom::Phone) : InterfaceTest(idiom) {
    registerMainStoryboard();
  }

  // A device that ran an older build: its number under one of the kit's keys.
  static void preparePreviousBuild(const char* key, const ns::Value& build) {
    auto standard = ns::UserDefaults::standardUserDefaults();
    standard->setObject(build, key);
    standard->synchronize();
  }

  void launch() {
    delegate_ = std::make_shared<AppDelegate>();
    window_ = ui::applicationMain(delegate_);
    ui::Input::settle();
  }

  cd::ManagedObjectContext& context() { return *delegate_->managedObjectContext(); }
  std::string storePath() const { return ns::Device::current().documentsDirectory() + "/Notes.sqlite"; }

  std::vector<std::string> notesOf(const std::shared_ptr<NTFolder>& folder) {
    std::vector<std::string> out;
    for (const auto& note : NTData::fetchSortedNotesInFolder(context(), folder)) out.push_back(note->string().value_or(""));
    return out;
  }

  // Background work of the launch (the iCloud switch) runs on real threads.
  static void waitForBackgroundTasks() {
    for (int i = 0; i < 500 && TXKit::activeBackgroundTaskCount() > 0; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }

  notes::testing::NotesTestBundle bundle_;
  std::shared_ptr<AppDelegate> delegate_;
};

class PadLaunchTest : public LaunchTest {
 protected:
  PadLaunchTest() : LaunchTest(ns::UserInterfaceIdiom::Pad) {}
};

}  // namespace notes::testing
