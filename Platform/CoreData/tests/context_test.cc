#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "Platform/CoreData/CoreDataErrors.h"
#include "Platform/CoreData/tests/TestModel.h"
#include "Platform/Foundation/NotificationCenter.h"

namespace cd::testing {
namespace {

class ContextTest : public ::testing::Test {
 protected:
  TemporaryDirectory dir;
  std::string path = dir.file("Notes.sqlite");
};

TEST_F(ContextTest, FetchesSeeUnsavedInsertsChangesAndDeletes) {
  Stack s(makeModel(), path);
  auto work = insertFolder(*s.context, "Work");
  insertNote(*s.context, "a", 0, work);
  auto b = insertNote(*s.context, "b", 1, work);
  auto c = insertNote(*s.context, "c", 2);
  ASSERT_TRUE(s.context->save(nullptr));

  auto inWork = Predicate::compare("folder", Predicate::Operator::EqualTo, work);
  EXPECT_EQ(fetchTitles(*s.context, "Note", inWork), (std::vector<std::string>{"a", "b"}));
  c->setObject("folder", work);                 // changed in memory only
  b->setObject("folder", nullptr);
  auto d = insertNote(*s.context, "d", 3, work);  // never saved
  EXPECT_EQ(fetchTitles(*s.context, "Note", inWork), (std::vector<std::string>{"a", "c", "d"}));
  s.context->deleteObject(d);
  EXPECT_EQ(fetchTitles(*s.context, "Note", inWork), (std::vector<std::string>{"a", "c"}));
  EXPECT_EQ(s.context->countForFetchRequest(FetchRequest("Note"), nullptr), 3u);
  EXPECT_EQ(work->countOfObjects("notes"), 2u);
}

TEST_F(ContextTest, DeleteRulesCascadeAndNullify) {
  struct Case {
    DeleteRule rule;
    size_t notesLeft;
  };
  for (Case c : {Case{DeleteRule::Cascade, 1}, Case{DeleteRule::Nullify, 3}}) {
    TemporaryDirectory d;
    Stack s(makeModel(1, c.rule), d.file("s.sqlite"));
    auto work = insertFolder(*s.context, "Work");
    auto home = insertFolder(*s.context, "Home");
    insertNote(*s.context, "w1", 0, work);
    insertNote(*s.context, "w2", 1, work);
    auto h = insertNote(*s.context, "h", 0, home);
    ASSERT_TRUE(s.context->save(nullptr));
    Stack fresh(makeModel(1, c.rule), d.file("s.sqlite"));  // the relationship is loaded from the store
    auto folders = *fresh.context->executeFetchRequest(FetchRequest("Folder"), nullptr);
    auto freshWork = folders[0]->value("title").stringValue() == "Work" ? folders[0] : folders[1];
    fresh.context->deleteObject(freshWork);
    EXPECT_EQ(fresh.context->countForFetchRequest(FetchRequest("Note"), nullptr), c.notesLeft);
    ASSERT_TRUE(fresh.context->save(nullptr));
    Stack check(makeModel(1, c.rule), d.file("s.sqlite"));
    auto notes = *check.context->executeFetchRequest(FetchRequest("Note"), nullptr);
    EXPECT_EQ(notes.size(), c.notesLeft);
    for (const auto& n : notes) {
      if (n->value("title").stringValue() != "h") {
        EXPECT_FALSE(n->object("folder"));  // nullified
      }
    }
  }
  // Deleting a note leaves its folder with the others.
  Stack s(makeModel(), path);
  auto work = insertFolder(*s.context, "Work");
  auto n1 = insertNote(*s.context, "1", 0, work);
  insertNote(*s.context, "2", 1, work);
  s.context->deleteObject(n1);
  EXPECT_EQ(titles(work->objects("notes")), std::vector<std::string>{"2"});
}

TEST_F(ContextTest, FailedSaveKeepsEveryChangeAndTheStoreUntouched) {
  auto model = makeModel();
  Stack s(model, path);
  auto folder = insertFolder(*s.context, "kept");
  ASSERT_TRUE(s.context->save(nullptr));
  folder->setValue("title", ns::Value("renamed"));
  auto note = insertNote(*s.context, "new", 0, folder);
  // A transformable whose transformer is gone cannot be written.
  note->setTransformable("text", std::string("x"));
  ValueTransformer::setValueTransformer(nullptr, "MarkedTextTransformer");
  ns::Error error;
  EXPECT_FALSE(s.context->save(&error));
  EXPECT_EQ(error.domain(), ns::kCocoaErrorDomain);
  EXPECT_TRUE(s.context->hasChanges());
  EXPECT_TRUE(note->objectID().isTemporaryID());
  EXPECT_EQ(folder->value("title").stringValue(), "renamed");
  EXPECT_EQ(Stack(makeModel(), path).context->countForFetchRequest(FetchRequest("Note"), nullptr), 0u);
  // Once the fault is mended the same changes save.
  makeModel();  // registers the transformer again
  ASSERT_TRUE(s.context->save(&error)) << error.description();
  EXPECT_FALSE(s.context->hasChanges());
  Stack after(makeModel(), path);
  EXPECT_EQ(fetchTitles(*after.context, "Note"), std::vector<std::string>{"new"});
  EXPECT_EQ(fetchTitles(*after.context, "Folder"), std::vector<std::string>{"renamed"});
}

TEST_F(ContextTest, MissingRequiredValueFailsValidation) {
  auto model = std::make_shared<ManagedObjectModel>();
  AttributeDescription name;
  name.name = "name";
  name.optional = false;
  model->addEntity("Item").addAttribute(name);
  Stack s(model, path);
  auto item = s.context->insertNewObject("Item");
  ns::Error error;
  EXPECT_FALSE(s.context->save(&error));
  EXPECT_EQ(error.code(), kValidationMissingMandatoryPropertyError);
  item->setValue("name", ns::Value("now set"));
  EXPECT_TRUE(s.context->save(&error));
}

TEST_F(ContextTest, SortsByKeyPathsDirectionsAndLocalizedCaseInsensitively) {
  Stack s(makeModel(), path);
  auto second = insertFolder(*s.context, "second", 1);
  auto first = insertFolder(*s.context, "first", 0);
  insertNote(*s.context, "banana", 0, second);
  insertNote(*s.context, "Apple", 1, second);
  insertNote(*s.context, "cherry", 2, first);
  insertNote(*s.context, "apple", 3, first);
  insertNote(*s.context, "Éclair", 4);
  using C = SortDescriptor::Comparison;
  struct Case {
    std::vector<SortDescriptor> sort;
    std::vector<std::string> expected;
  };
  const Case cases[] = {
      {{SortDescriptor("displayOrder", false)}, {"Éclair", "apple", "cherry", "Apple", "banana"}},
      {{SortDescriptor("title", true)}, {"Apple", "apple", "banana", "cherry", "Éclair"}},
      {{SortDescriptor("title", true, C::LocalizedCaseInsensitive)}, {"Apple", "apple", "banana", "cherry", "Éclair"}},
      {{SortDescriptor("folder.displayOrder", true), SortDescriptor("displayOrder", true)},
       {"Éclair", "cherry", "apple", "banana", "Apple"}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(fetchTitles(*s.context, "Note", nullptr, c.sort), c.expected) << c.sort[0].key();
    ASSERT_TRUE(s.context->save(nullptr));  // same order from the store as from memory
    Stack fresh(makeModel(), path);
    EXPECT_EQ(fetchTitles(*fresh.context, "Note", nullptr, c.sort), c.expected) << c.sort[0].key();
  }
  // Byte order puts lower-case after upper-case; the localized order does not.
  insertNote(*s.context, "b lower");
  auto plain = fetchTitles(*s.context, "Note", nullptr, {SortDescriptor("title", true)});
  auto localized = fetchTitles(*s.context, "Note", nullptr, {SortDescriptor("title", true, C::LocalizedCaseInsensitive)});
  EXPECT_LT(std::find(localized.begin(), localized.end(), "b lower") - localized.begin(),
            std::find(localized.begin(), localized.end(), "cherry") - localized.begin());
  EXPECT_EQ(plain.back(), "Éclair");
}

// Numbers and dates sort as numbers in both directions and over several
// keys, equal keys keep the objects' first order, and a key missing on one
// object still sorts (nil first).
TEST_F(ContextTest, NumericKeysSortStablyInBothDirections) {
  Stack s(makeModel(), path);
  const std::tuple<const char*, int, double> notes[] = {{"a", 2, 5}, {"b", 1, 5}, {"c", 2, 3}, {"d", 1, 9}, {"e", 2, 3}};
  for (const auto& [title, order, stamp] : notes) {
    insertNote(*s.context, title, order)->setValue("timeStamp", ns::Value(ns::Date(stamp)));
  }
  struct Case {
    std::vector<SortDescriptor> sort;
    std::vector<std::string> expected;
  };
  const Case cases[] = {
      {{SortDescriptor("displayOrder", true)}, {"b", "d", "a", "c", "e"}},
      {{SortDescriptor("displayOrder", false)}, {"a", "c", "e", "b", "d"}},
      {{SortDescriptor("displayOrder", false), SortDescriptor("timeStamp", true)}, {"c", "e", "a", "b", "d"}},
      {{SortDescriptor("timeStamp", false)}, {"d", "a", "b", "c", "e"}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(fetchTitles(*s.context, "Note", nullptr, c.sort), c.expected) << c.sort[0].key();
    ASSERT_TRUE(s.context->save(nullptr));
    Stack fresh(makeModel(), path);
    EXPECT_EQ(fetchTitles(*fresh.context, "Note", nullptr, c.sort), c.expected) << c.sort[0].key();
  }
  insertNote(*s.context, "undated", 1);
  EXPECT_EQ(fetchTitles(*s.context, "Note", nullptr, {SortDescriptor("timeStamp", true)}),
            (std::vector<std::string>{"undated", "c", "e", "a", "b", "d"}));
}

TEST_F(ContextTest, PerformAndWaitNestsOnAPrivateQueue) {
  Stack s(makeModel(), path, ManagedObjectContext::ConcurrencyType::PrivateQueue);
  std::atomic<int> depth{0};
  std::thread::id outer, inner;
  s.context->performAndWait([&] {
    outer = std::this_thread::get_id();
    EXPECT_TRUE(s.context->isOnQueue());
    s.context->performAndWait([&] {
      inner = std::this_thread::get_id();
      depth = 2;
    });
    insertNote(*s.context, "from the queue");
    EXPECT_TRUE(s.context->save(nullptr));
  });
  EXPECT_EQ(depth, 2);
  EXPECT_EQ(outer, inner);
  EXPECT_FALSE(s.context->isOnQueue());
  std::atomic<bool> ran{false};
  s.context->perform([&] { ran = true; });
  s.context->performAndWait([] {});  // serial: the perform ran before
  EXPECT_TRUE(ran);
}

TEST_F(ContextTest, SavePostsDidSaveWithTheObjectsAndTheContext) {
  Stack s(makeModel(), path);
  auto keep = insertNote(*s.context, "keep");
  auto drop = insertNote(*s.context, "drop");
  ASSERT_TRUE(s.context->save(nullptr));
  std::vector<ns::Notification> seen;
  auto token = ns::NotificationCenter::defaultCenter().addObserver(
      kManagedObjectContextDidSaveNotification, s.context.get(), nullptr,
      [&](const ns::Notification& n) { seen.push_back(n); });
  keep->setValue("title", ns::Value("kept"));
  s.context->deleteObject(drop);
  auto added = insertNote(*s.context, "added");
  std::string dropURI = drop->objectID().URIRepresentation();
  ASSERT_TRUE(s.context->save(nullptr));
  EXPECT_FALSE(s.context->save(nullptr) && false);  // nothing to save: no notification
  ns::NotificationCenter::defaultCenter().removeObserver(token);
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].object().get(), s.context.get());
  auto uris = [&](const char* key) { return seen[0].userInfo().find(key)->asArray()->at(0).stringValue(); };
  EXPECT_EQ(uris(kInsertedObjectsKey), added->objectID().URIRepresentation());
  EXPECT_EQ(uris(kUpdatedObjectsKey), keep->objectID().URIRepresentation());
  EXPECT_EQ(uris(kDeletedObjectsKey), dropURI);
  EXPECT_EQ(drop->managedObjectContext(), nullptr);
}

TEST_F(ContextTest, BackgroundSavesMergeIntoTheViewContextWithLocalChangesWinningPerProperty) {
  auto container = std::make_shared<PersistentContainer>("Notes", makeModel());
  container->persistentStoreDescriptions()[0].setURL(path);
  bool loaded = false;
  container->loadPersistentStores([&](const PersistentStoreDescription&, const ns::Error* e) { loaded = !e; });
  ASSERT_TRUE(loaded);
  auto view = container->viewContext();
  view->setMergePolicy(MergePolicy::MergeByPropertyObjectTrump);
  view->setAutomaticallyMergesChangesFromParent(true);
  auto folder = insertFolder(*view, "Inbox");
  auto note = insertNote(*view, "shared", 0, folder);
  auto doomed = insertNote(*view, "doomed", 1, folder);
  ASSERT_TRUE(view->save(nullptr));
  std::string noteURI = note->objectID().URIRepresentation();

  note->setValue("displayOrder", ns::Value(9));  // unsaved local change
  std::atomic<bool> done{false};
  container->performBackgroundTask([&](ManagedObjectContext& background) {
    auto id = *background.persistentStoreCoordinator()->managedObjectIDForURIRepresentation(noteURI);
    auto same = background.existingObjectWithID(id, nullptr);
    same->setValue("title", ns::Value("renamed elsewhere"));
    same->setValue("displayOrder", ns::Value(5));
    auto folders = *background.executeFetchRequest(FetchRequest("Folder"), nullptr);
    auto fresh = insertNote(background, "from background", 2, folders[0]);
    for (const auto& n : folders[0]->objects("notes")) {
      if (n->value("title").stringValue() == "doomed") background.deleteObject(n);
    }
    EXPECT_TRUE(background.save(nullptr));
    done = true;
  });
  ASSERT_TRUE(pumpUntil([&] { return done && note->value("title").stringValue() == "renamed elsewhere"; }));
  EXPECT_EQ(note->value("displayOrder").integerValue(), 9);  // ours won
  EXPECT_EQ(doomed->managedObjectContext(), nullptr);
  EXPECT_EQ(titles(folder->objects("notes")).size(), 2u);
  EXPECT_EQ(fetchTitles(*view, "Note"), (std::vector<std::string>{"from background", "renamed elsewhere"}));
  // Saving ours keeps their title and writes our order.
  ASSERT_TRUE(view->save(nullptr));
  Stack check(makeModel(), path);
  auto stored = *check.context->executeFetchRequest(FetchRequest("Note"), nullptr);
  bool sawShared = false;
  for (const auto& n : stored) {
    if (n->value("title").stringValue() == "renamed elsewhere") {
      sawShared = true;
      EXPECT_EQ(n->value("displayOrder").integerValue(), 9);
    }
  }
  EXPECT_TRUE(sawShared);
}

}  // namespace
}  // namespace cd::testing
