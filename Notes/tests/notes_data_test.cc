#include <gtest/gtest.h>

#include <functional>
#include <map>

#include "Notes/NTSettings.h"
#include "Notes/tests/AppChildRun.h"
#include "Notes/tests/NotesTestBundle.h"
#include "Notes/tests/NotesTestStore.h"
#include "Platform/Foundation/Clock.h"

namespace notes::testing {
namespace {

using NoteList = std::vector<std::string>;

class OrderingTest : public NotesStoreTest {
 public:
  // Folders "F" (notes a, b, c) and "G" (notes x, y), saved.
  void SetUp() override {
    NotesStoreTest::SetUp();
    addFolder("F", {"a", "b", "c"});
    addFolder("G", {"x", "y"});
    ASSERT_TRUE(NTData::saveContext(ctx()));
  }

  std::shared_ptr<NTFolder> addFolder(const std::string& title, const NoteList& notes) {
    auto folder = NTData::insertNewFolderAtIndex(ctx(), NTData::countTotalFolders(ctx()));
    folder->setTitle(title);
    for (const auto& text : notes) addNote(folder, NTData::fetchSortedNotesInFolder(ctx(), folder).size(), text);
    return folder;
  }
  std::shared_ptr<NTNote> addNote(std::shared_ptr<NTFolder> folder, size_t index, const std::string& text) {
    auto note = NTData::insertNewNoteAtIndex(ctx(), index, std::move(folder));
    ns::AttributedString body(text);
    note->setText(&body);
    return note;
  }
  std::shared_ptr<NTFolder> folder(const std::string& title) { return NTData::folderNamed(ctx(), title); }
  std::shared_ptr<NTNote> note(const std::string& title) {
    for (const auto& n : NTData::fetchSortedNotesInFolder(ctx(), nullptr))
      if (n->title() == title) return n;
    return nullptr;
  }
};

// Folder title -> note titles in display order, and checks that the orders
// are 0..n-1 in every folder and among the folders.
std::map<std::string, NoteList> layoutOf(cd::ManagedObjectContext& context) {
  std::map<std::string, NoteList> out;
  auto folders = NTData::fetchSortedFolders(context);
  std::vector<int> expectedFolders;
  for (size_t i = 0; i < folders.size(); ++i) expectedFolders.push_back(static_cast<int>(i));
  EXPECT_EQ(ordersOf(folders), expectedFolders);
  for (const auto& f : folders) {
    auto notes = NTData::fetchSortedNotesInFolder(context, f);
    std::vector<int> expected;
    for (size_t i = 0; i < notes.size(); ++i) expected.push_back(static_cast<int>(i));
    EXPECT_EQ(ordersOf(notes), expected) << "folder " << f->title().value_or("?");
    out[f->title().value_or("?")] = titlesOf(notes);
  }
  return out;
}

TEST_F(OrderingTest, EveryInsertMoveAndDeleteKeepsOrdersDense) {
  struct Case {
    const char* name;
    std::function<void(OrderingTest&)> change;
    std::map<std::string, NoteList> expected;
  };
  const std::vector<Case> cases = {
      {"insert on top", [](OrderingTest& t) { t.addNote(t.folder("F"), 0, "n"); },
       {{"F", {"n", "a", "b", "c"}}, {"G", {"x", "y"}}}},
      {"insert in the middle", [](OrderingTest& t) { t.addNote(t.folder("F"), 2, "n"); },
       {{"F", {"a", "b", "n", "c"}}, {"G", {"x", "y"}}}},
      {"insert past the end goes last", [](OrderingTest& t) { t.addNote(t.folder("G"), 99, "n"); },
       {{"F", {"a", "b", "c"}}, {"G", {"x", "y", "n"}}}},
      {"insert without folder goes to the first folder", [](OrderingTest& t) { t.addNote(nullptr, 1, "n"); },
       {{"F", {"a", "n", "b", "c"}}, {"G", {"x", "y"}}}},
      {"move to the top of its own folder",
       [](OrderingTest& t) { NTData::moveNote(t.ctx(), t.note("c"), 0, nullptr); },
       {{"F", {"c", "a", "b"}}, {"G", {"x", "y"}}}},
      {"move to the end of its own folder",
       [](OrderingTest& t) { NTData::moveNote(t.ctx(), t.note("a"), 2, t.folder("F")); },
       {{"F", {"b", "c", "a"}}, {"G", {"x", "y"}}}},
      {"move into another folder",
       [](OrderingTest& t) { NTData::moveNote(t.ctx(), t.note("b"), 1, t.folder("G")); },
       {{"F", {"a", "c"}}, {"G", {"x", "b", "y"}}}},
      {"delete the middle note", [](OrderingTest& t) { NTData::deleteNote(t.ctx(), t.note("b")); },
       {{"F", {"a", "c"}}, {"G", {"x", "y"}}}},
      {"delete the top note", [](OrderingTest& t) { NTData::deleteNote(t.ctx(), t.note("x")); },
       {{"F", {"a", "b", "c"}}, {"G", {"y"}}}},
      {"new folder on top", [](OrderingTest& t) { NTData::insertNewFolderAtIndex(t.ctx(), 0)->setTitle("H"); },
       {{"H", {}}, {"F", {"a", "b", "c"}}, {"G", {"x", "y"}}}},
      {"move a folder", [](OrderingTest& t) { NTData::moveFolder(t.ctx(), t.folder("G"), 0); },
       {{"F", {"a", "b", "c"}}, {"G", {"x", "y"}}}},
      {"delete a folder with its notes", [](OrderingTest& t) { NTData::deleteFolder(t.ctx(), t.folder("F")); },
       {{"G", {"x", "y"}}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ns::testing::TemporaryDevice device;
    stack_ = std::make_unique<StoreStack>(storePath());
    SetUp();
    c.change(*this);
    EXPECT_EQ(layoutOf(ctx()), c.expected);
    ASSERT_TRUE(NTData::saveContext(ctx()));
    // What was saved is what a relaunch reads.
    auto fresh = reopen();
    EXPECT_EQ(layoutOf(*fresh->context), c.expected);
  }
}

TEST_F(OrderingTest, FolderOrderFollowsMoves) {
  NTData::moveFolder(ctx(), folder("G"), 0);
  EXPECT_EQ(titlesOf(NTData::fetchSortedFolders(ctx())), (NoteList{"G", "F"}));
  NTData::deleteFolder(ctx(), folder("G"));
  EXPECT_EQ(ordersOf(NTData::fetchSortedFolders(ctx())), (std::vector<int>{0}));
  EXPECT_EQ(NTData::countTotalNotes(ctx()), 3u);
}

TEST_F(NotesStoreTest, NoteWithoutAnyFolderIsNumberedAmongAllNotes) {
  auto first = NTData::insertNewNoteAtIndex(ctx(), 0, nullptr);
  auto second = NTData::insertNewNoteAtIndex(ctx(), 0, nullptr);
  EXPECT_EQ(first->folder(), nullptr);
  EXPECT_EQ(second->displayOrder(), 0);
  EXPECT_EQ(first->displayOrder(), 1);
  EXPECT_EQ(first->title(), "New Note");
  EXPECT_TRUE(first->timeStamp().has_value());
  EXPECT_FALSE(first->string().has_value());
}

TEST_F(NotesStoreTest, DeletingAFolderlessNoteLeavesFoldersAlone) {
  auto folder = NTData::insertNewFolderAtIndex(ctx(), 0);
  NTData::insertNewNoteAtIndex(ctx(), 0, folder);
  NTData::insertNewNoteAtIndex(ctx(), 1, folder);
  // A note outside every folder, as an import might leave one.
  auto loose = ctx().insertNewObject<NTNote>(NTNote::kEntityName);
  loose->setDisplayOrder(0);
  NTData::deleteNote(ctx(), loose);
  EXPECT_EQ(ordersOf(NTData::fetchSortedNotesInFolder(ctx(), folder)), (std::vector<int>{0, 1}));
}

class FixDisplayOrdersTest : public NotesStoreTest {};

TEST_F(FixDisplayOrdersTest, ReportsOnceAndSavesOnlyWhenSomethingChanged) {
  struct Case {
    const char* name;
    std::vector<int> folderOrders;
    std::vector<int> noteOrders;  // of the notes of the first folder
    bool repairs;
  };
  const std::vector<Case> cases = {
      {"consistent", {0, 1}, {0, 1, 2}, false},
      {"gaps among notes", {0, 1}, {0, 2, 5}, true},
      {"notes from 1", {0, 1}, {1, 2, 3}, true},
      {"folder gap", {0, 3}, {0, 1, 2}, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ns::testing::TemporaryDevice device;
    stack_ = std::make_unique<StoreStack>(storePath());
    std::vector<std::shared_ptr<NTFolder>> folders;
    for (int order : c.folderOrders) {
      folders.push_back(ctx().insertNewObject<NTFolder>(NTFolder::kEntityName));
      folders.back()->setDisplayOrder(order);
    }
    for (int order : c.noteOrders) {
      auto n = ctx().insertNewObject<NTNote>(NTNote::kEntityName);
      n->setFolder(folders[0]);
      n->setDisplayOrder(order);
    }
    ASSERT_TRUE(ctx().save(nullptr));
    dvcr_testing::DodevadarudCallRecorder::shared().clearRecords();
    auto defaults = NTSettings::userDefaults();
    defaults->removeObjectForKey(NTSettings::kLastSaveDateKey);

    NTData::fixDisplayOrders(ctx());

    EXPECT_FALSE(ctx().hasChanges());
    EXPECT_EQ(defaults->objectForKey(NTSettings::kLastSaveDateKey).has_value(), c.repairs);
    if (c.repairs) {
      EXPECT_EQ(recordedMessages(), (std::vector<std::string>{NTData::kFixDisplayOrdersMessage}));
    } else {
      EXPECT_TRUE(recordedMessages().empty());
    }
    auto fresh = reopen();
    auto freshFolders = NTData::fetchSortedFolders(*fresh->context);
    EXPECT_EQ(ordersOf(freshFolders), (std::vector<int>{0, 1}));
    EXPECT_EQ(ordersOf(NTData::fetchSortedNotesInFolder(*fresh->context, freshFolders[0])),
              (std::vector<int>{0, 1, 2}));
  }
}

// The walk's mark lives in the store: a launch of an unchanged store reads
// no note, one after a save (here by another process) does. Each launch is
// a process of its own.
TEST(DisplayOrderRelaunchTest, ALaunchWalksOnlyWhenTheStoreWasSavedSinceTheLastWalk) {
  ns::testing::TemporaryDevice device;
  notes::testing::NotesTestBundle bundle;
  const std::string storePath = device.device().documentsDirectory() + "/Notes.sqlite";
  auto launch = [&] {
    auto end = notes::testing::runAppChild(NOTES_WALK_CHILD, {device.directory(), notes::testing::sourceBundlePath()});
    EXPECT_EQ(end.status, 0) << end.output;
    return end.output;
  };
  EXPECT_EQ(launch(), "walks 1\n") << "the first launch";
  EXPECT_EQ(launch(), "walks 0\n") << "nothing saved since";
  {
    StoreStack writer(storePath);
    auto notes = NTData::fetchSortedNotesInFolder(*writer.context, NTData::defaultFolder(*writer.context));
    ASSERT_FALSE(notes.empty());
    notes[0]->setDisplayOrder(7);
    ASSERT_TRUE(writer.context->save(nullptr));
  }
  EXPECT_EQ(launch(), "walks 1\n") << "a save since";
  {
    StoreStack reader(storePath);
    auto notes = NTData::fetchSortedNotesInFolder(*reader.context, NTData::defaultFolder(*reader.context));
    for (size_t i = 0; i < notes.size(); ++i) EXPECT_EQ(notes[i]->displayOrder(), static_cast<int32_t>(i)) << "repaired";
  }
  EXPECT_EQ(launch(), "walks 0\n") << "the repair's own save is the one the mark holds";
}

// The app walks at every activation: a walk is made again only once
// something was saved through the store's coordinator (or the context has
// unsaved changes); until then no note is read.
TEST_F(FixDisplayOrdersTest, WalksAgainOnlyAfterSomethingWasSaved) {
  auto folder = ctx().insertNewObject<NTFolder>(NTFolder::kEntityName);
  std::vector<std::shared_ptr<NTNote>> notes;
  for (int order : {0, 2, 5}) {
    notes.push_back(ctx().insertNewObject<NTNote>(NTNote::kEntityName));
    notes.back()->setFolder(folder);
    notes.back()->setDisplayOrder(order);
  }
  ASSERT_TRUE(ctx().save(nullptr));
  // Each activation's walk on a context of its own, so that what it reads shows.
  auto walk = [&] {
    auto context = std::make_shared<cd::ManagedObjectContext>(cd::ManagedObjectContext::ConcurrencyType::MainQueue);
    context->setPersistentStoreCoordinator(ctx().persistentStoreCoordinator());
    dvcr_testing::DodevadarudCallRecorder::shared().clearRecords();
    NTData::fixDisplayOrders(*context);
    return std::make_pair(context->registeredObjectCount(), recordedMessages().size());
  };
  struct Step {
    const char* name;
    std::function<void()> before;
    bool reads;
    size_t repairs;
  };
  const Step steps[] = {
      {"first walk", [] {}, true, 1},
      {"nothing saved since", [] {}, false, 0},
      {"a note renumbered and saved", [&] {
         notes[1]->setDisplayOrder(7);
         ASSERT_TRUE(ctx().save(nullptr));
       }, true, 1},
      {"in order after the repair", [] {}, false, 0},
      {"a reminder saved", [&] {
         notes[0]->setReminderDate(ns::Date(900000000));
         ASSERT_TRUE(ctx().save(nullptr));
       }, true, 0},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.name);
    step.before();
    auto [read, repairs] = walk();
    EXPECT_EQ(read > 0, step.reads);
    EXPECT_EQ(repairs, step.repairs);
  }
  auto fresh = reopen();
  auto freshFolders = NTData::fetchSortedFolders(*fresh->context);
  EXPECT_EQ(ordersOf(NTData::fetchSortedNotesInFolder(*fresh->context, freshFolders[0])), (std::vector<int>{0, 1, 2}));
}

class SaveContextTest : public NotesStoreTest {};

TEST_F(SaveContextTest, AnswersWhetherTheChangesWereSaved) {
  auto defaults = NTSettings::userDefaults();
  EXPECT_FALSE(NTData::saveContext(ctx()));
  EXPECT_FALSE(defaults->objectForKey(NTSettings::kLastSaveDateKey).has_value());

  ns::Clock::useVirtual(ns::Date(800000000));
  NTData::insertNewNoteAtIndex(ctx(), 0, nullptr);
  EXPECT_TRUE(NTData::saveContext(ctx()));
  EXPECT_EQ(defaults->dateForKey(NTSettings::kLastSaveDateKey), ns::Date(800000000));
  ns::Clock::useReal();
}

TEST_F(SaveContextTest, FailedSaveAnswersNoAndIsReported) {
  NTData::insertNewNoteAtIndex(ctx(), 0, nullptr);
  // Without a store the save cannot succeed.
  ASSERT_TRUE(stack_->coordinator->removePersistentStore(stack_->store, nullptr));
  EXPECT_FALSE(NTData::saveContext(ctx()));
  EXPECT_TRUE(ctx().hasChanges());
  EXPECT_EQ(dvcr_testing::DodevadarudCallRecorder::shared().recordedErrors().size(), 1u);
  EXPECT_FALSE(NTSettings::userDefaults()->objectForKey(NTSettings::kLastSaveDateKey).has_value());
}

class DeleteEmptyNotesTest : public NotesStoreTest {};

TEST_F(DeleteEmptyNotesTest, BlankTextCountsAsEmpty) {
  auto folder = NTData::insertNewFolderAtIndex(ctx(), 0);
  struct Entry {
    std::optional<std::string> text;
    bool kept;
  };
  const std::vector<Entry> entries = {
      {"first", true}, {std::nullopt, false}, {"", false}, {"  \n\t \r\n ", false},
      {"\u2028\u00a0", false}, {" x ", true}, {" New Note ", true}, {"last", true},
  };
  for (size_t i = 0; i < entries.size(); ++i) {
    auto n = NTData::insertNewNoteAtIndex(ctx(), i, folder);
    if (entries[i].text) {
      ns::AttributedString text(*entries[i].text);
      n->setText(&text);
    }
  }
  ASSERT_TRUE(NTData::saveContext(ctx()));

  NTData::deleteEmptyNotes(ctx());

  EXPECT_FALSE(ctx().hasChanges());
  auto fresh = reopen();
  auto notes = NTData::fetchSortedNotesInFolder(*fresh->context, NTData::defaultFolder(*fresh->context));
  EXPECT_EQ(titlesOf(notes), (NoteList{"first", "x", "New Note", "last"}));
  EXPECT_EQ(ordersOf(notes), (std::vector<int>{0, 1, 2, 3}));
}

TEST_F(DeleteEmptyNotesTest, NothingEmptySavesNothing) {
  auto n = NTData::insertNewNoteAtIndex(ctx(), 0, nullptr);
  ns::AttributedString text("kept");
  n->setText(&text);
  ASSERT_TRUE(NTData::saveContext(ctx()));
  NTSettings::userDefaults()->removeObjectForKey(NTSettings::kLastSaveDateKey);
  NTData::deleteEmptyNotes(ctx());
  EXPECT_FALSE(NTSettings::userDefaults()->objectForKey(NTSettings::kLastSaveDateKey).has_value());
  EXPECT_EQ(NTData::countTotalNotes(ctx()), 1u);
}

}  // namespace
}  // namespace notes::testing
