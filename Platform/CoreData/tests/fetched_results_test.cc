#include <gtest/gtest.h>

#include <atomic>

#include "Platform/CoreData/FetchedResultsController.h"
#include "Platform/CoreData/tests/TestModel.h"

namespace cd::testing {
namespace {

std::string path(std::optional<ns::IndexPath> p) {
  return p ? "(" + std::to_string(p->section) + "," + std::to_string(p->row) + ")" : "-";
}

// Writes every callback as a line, objects by title.
class Recorder : public FetchedResultsControllerDelegate {
 public:
  std::vector<std::string> events;

  void controllerWillChangeContent(FetchedResultsController&) override { events.push_back("will"); }
  void controllerDidChangeSection(FetchedResultsController&, const FetchedResultsSectionInfo& info, size_t index,
                                  FetchedResultsChangeType type) override {
    events.push_back(std::string(type == FetchedResultsChangeType::Insert ? "insert" : "delete") + " section " +
                     std::to_string(index) + " '" + info.name() + "'");
  }
  void controllerDidChangeObject(FetchedResultsController&, const std::shared_ptr<ManagedObject>& object,
                                 std::optional<ns::IndexPath> from, FetchedResultsChangeType type,
                                 std::optional<ns::IndexPath> to) override {
    static const char* names[] = {"", "insert", "delete", "move", "update"};
    events.push_back(std::string(names[static_cast<int>(type)]) + " " + object->value("title").stringValue() + " " +
                     path(from) + " " + path(to));
  }
  void controllerDidChangeContent(FetchedResultsController&) override { events.push_back("did"); }

  std::vector<std::string> take() { return std::exchange(events, {}); }
};

using Events = std::vector<std::string>;

class FetchedResultsTest : public ::testing::Test {
 protected:
  TemporaryDirectory dir;
  std::string file = dir.file("Notes.sqlite");
  std::shared_ptr<Recorder> recorder = std::make_shared<Recorder>();

  std::unique_ptr<FetchedResultsController> makeController(const std::shared_ptr<ManagedObjectContext>& context,
                                                           FetchRequest request, std::string sectionKeyPath = {}) {
    auto controller = std::make_unique<FetchedResultsController>(std::move(request), context, std::move(sectionKeyPath));
    controller->setDelegate(recorder);
    ns::Error error;
    EXPECT_TRUE(controller->performFetch(&error)) << error.description();
    return controller;
  }
};

FetchRequest notesByOrder(PredicatePtr predicate = nullptr) {
  FetchRequest request("Note");
  request.setPredicate(std::move(predicate));
  request.setSortDescriptors({SortDescriptor("displayOrder", true)});
  request.setFetchBatchSize(20);
  return request;
}

TEST_F(FetchedResultsTest, ReportsInsertsDeletesMovesAndUpdatesOfAFlatList) {
  Stack s(makeModel(), file);
  auto a = insertNote(*s.context, "a", 0);
  auto b = insertNote(*s.context, "b", 1);
  auto c = insertNote(*s.context, "c", 2);
  ASSERT_TRUE(s.context->save(nullptr));
  auto controller = makeController(s.context, notesByOrder());
  EXPECT_EQ(titles(controller->fetchedObjects()), (std::vector<std::string>{"a", "b", "c"}));
  ASSERT_EQ(controller->sections().size(), 1u);
  EXPECT_EQ(controller->objectAtIndexPath({0, 1}), b);
  EXPECT_EQ(controller->indexPathForObject(c), (ns::IndexPath{0, 2}));
  EXPECT_THROW(controller->objectAtIndexPath({0, 3}), ns::Exception);

  struct Step {
    std::string name;
    std::function<void()> change;
    Events expected;
    std::vector<std::string> after;
  };
  std::shared_ptr<ManagedObject> d;
  const std::vector<Step> steps = {
      {"insert on top", [&] { d = insertNote(*s.context, "d", -1); },
       {"will", "insert d - (0,0)", "did"}, {"d", "a", "b", "c"}},
      {"update in place", [&] { c->setValue("string", ns::Value("text")); },
       {"will", "update c (0,3) (0,3)", "did"}, {"d", "a", "b", "c"}},
      {"move to the end", [&] { a->setValue("displayOrder", ns::Value(9)); },
       {"will", "move a (0,1) (0,3)", "did"}, {"d", "b", "c", "a"}},
      {"renumber everything keeps the order", [&] {
         int i = 0;
         for (const auto& o : {d, b, c, a}) o->setValue("displayOrder", ns::Value(i++));
       },
       {"will", "update d (0,0) (0,0)", "update a (0,3) (0,3)", "did"},  // b and c kept their numbers
       {"d", "b", "c", "a"}},
      {"delete", [&] { s.context->deleteObject(b); }, {"will", "delete b (0,1) -", "did"}, {"d", "c", "a"}},
      {"an unrelated entity changes nothing", [&] { insertFolder(*s.context, "f"); }, {}, {"d", "c", "a"}},
      {"setting the same value is no change", [&] { c->setValue("displayOrder", ns::Value(2)); }, {}, {"d", "c", "a"}},
  };
  for (const auto& step : steps) {
    step.change();
    s.context->processPendingChanges();
    EXPECT_EQ(recorder->take(), step.expected) << step.name;
    EXPECT_EQ(titles(controller->fetchedObjects()), step.after) << step.name;
  }
  // A save delivers what is pending and nothing twice.
  auto e = insertNote(*s.context, "e", 10);
  ASSERT_TRUE(s.context->save(nullptr));
  EXPECT_EQ(recorder->take(), (Events{"will", "insert e - (0,3)", "did"}));
}

TEST_F(FetchedResultsTest, PredicateDecidesMembershipAsObjectsChange) {
  Stack s(makeModel(), file);
  auto work = insertFolder(*s.context, "Work");
  auto home = insertFolder(*s.context, "Home");
  auto a = insertNote(*s.context, "a", 0, work);
  auto b = insertNote(*s.context, "b", 0, home);
  ASSERT_TRUE(s.context->save(nullptr));
  auto controller = makeController(s.context, notesByOrder(Predicate::compare("folder", Predicate::Operator::EqualTo, work)));
  EXPECT_EQ(titles(controller->fetchedObjects()), std::vector<std::string>{"a"});
  b->setObject("folder", work);
  s.context->processPendingChanges();
  EXPECT_EQ(recorder->take(), (Events{"will", "insert b - (0,1)", "did"}));
  a->setObject("folder", home);
  s.context->processPendingChanges();
  EXPECT_EQ(recorder->take(), (Events{"will", "delete a (0,0) -", "did"}));
  EXPECT_EQ(titles(controller->fetchedObjects()), std::vector<std::string>{"b"});
}

TEST_F(FetchedResultsTest, SectionsByFolderOrderAppearAndDisappear) {
  Stack s(makeModel(), file);
  auto first = insertFolder(*s.context, "First", 0);
  auto second = insertFolder(*s.context, "Second", 1);
  auto third = insertFolder(*s.context, "Third", 2);
  auto a = insertNote(*s.context, "a", 0, first);
  auto b = insertNote(*s.context, "b", 1, first);
  auto c = insertNote(*s.context, "c", 0, second);
  ASSERT_TRUE(s.context->save(nullptr));
  FetchRequest request("Note");
  request.setSortDescriptors({SortDescriptor("folder.displayOrder", true), SortDescriptor("displayOrder", true)});
  auto controller = makeController(s.context, request, "folder.displayOrder");
  ASSERT_EQ(controller->sections().size(), 2u);
  EXPECT_EQ(controller->sections()[0].name(), "0");
  EXPECT_EQ(controller->sections()[1].numberOfObjects(), 1u);
  EXPECT_EQ(controller->indexPathForObject(c), (ns::IndexPath{1, 0}));

  // The only note of "Second" goes to "Third": one section goes, one comes.
  c->setObject("folder", third);
  s.context->processPendingChanges();
  EXPECT_EQ(recorder->take(), (Events{"will", "delete section 1 '1'", "insert section 1 '2'", "move c (1,0) (1,0)", "did"}));
  // A note moves between existing sections.
  b->setObject("folder", third);
  b->setValue("displayOrder", ns::Value(-1));
  s.context->processPendingChanges();
  EXPECT_EQ(recorder->take(), (Events{"will", "move b (0,1) (1,0)", "did"}));
  EXPECT_EQ(titles(controller->sections()[1].objects()), (std::vector<std::string>{"b", "c"}));
  // Changes to folders are not the notes' changes; a new fetch shows them.
  first->setValue("displayOrder", ns::Value(5));
  s.context->processPendingChanges();
  EXPECT_TRUE(recorder->take().empty());
  ASSERT_TRUE(controller->performFetch(nullptr));
  ASSERT_EQ(controller->sections().size(), 2u);
  EXPECT_EQ(controller->sections()[0].name(), "2");
  EXPECT_EQ(controller->sections()[1].name(), "5");
  EXPECT_EQ(controller->indexPathForObject(a), (ns::IndexPath{1, 0}));
}

TEST_F(FetchedResultsTest, OneWatchedNoteSeesMergedUpdatesAndDeletion) {
  auto container = std::make_shared<PersistentCloudKitContainer>("Notes", makeModel());
  container->persistentStoreDescriptions()[0].setURL(file);
  container->loadPersistentStores([](const PersistentStoreDescription&, const ns::Error* e) { ASSERT_FALSE(e); });
  auto view = container->viewContext();
  view->setAutomaticallyMergesChangesFromParent(true);
  auto note = insertNote(*view, "watched");
  insertNote(*view, "other");
  ASSERT_TRUE(view->save(nullptr));
  FetchRequest request("Note");
  request.setPredicate(Predicate::self(Predicate::Operator::EqualTo, note));
  auto controller = makeController(view, request);  // no sort descriptors
  ASSERT_EQ(titles(controller->fetchedObjects()), std::vector<std::string>{"watched"});
  std::string uri = note->objectID().URIRepresentation();

  auto remote = [&](const std::function<void(ManagedObjectContext&, std::shared_ptr<ManagedObject>)>& change) {
    ns::Error error;
    EXPECT_TRUE(container->applyRemoteChanges(
        [&](ManagedObjectContext& context) {
          auto id = *context.persistentStoreCoordinator()->managedObjectIDForURIRepresentation(uri);
          change(context, context.existingObjectWithID(id, nullptr));
        },
        &error))
        << error.description();
    pumpUntil([&] { return !recorder->events.empty(); });
  };
  remote([](ManagedObjectContext&, std::shared_ptr<ManagedObject> n) { n->setValue("string", ns::Value("remote")); });
  EXPECT_EQ(recorder->take(), (Events{"will", "update watched (0,0) (0,0)", "did"}));
  EXPECT_EQ(note->value("string").stringValue(), "remote");
  remote([](ManagedObjectContext& c, std::shared_ptr<ManagedObject> n) { c.deleteObject(n); });
  EXPECT_EQ(recorder->take(), (Events{"will", "delete watched (0,0) -", "did"}));
  EXPECT_TRUE(controller->fetchedObjects().empty());
  EXPECT_EQ(note->managedObjectContext(), nullptr);
}

TEST_F(FetchedResultsTest, RemoteInsertsReachAListOfTheViewContext) {
  auto container = std::make_shared<PersistentCloudKitContainer>("Notes", makeModel());
  container->persistentStoreDescriptions()[0].setURL(file);
  container->loadPersistentStores(nullptr);
  auto view = container->viewContext();
  view->setAutomaticallyMergesChangesFromParent(true);
  auto controller = makeController(view, notesByOrder());
  std::atomic<bool> saved{false};
  container->performBackgroundTask([&](ManagedObjectContext& background) {
    insertNote(background, "late", 1);
    insertNote(background, "early", 0);
    saved = background.save(nullptr);
  });
  ASSERT_TRUE(pumpUntil([&] { return saved && controller->fetchedObjects().size() == 2; }));
  EXPECT_EQ(titles(controller->fetchedObjects()), (std::vector<std::string>{"early", "late"}));
  EXPECT_EQ(recorder->take(), (Events{"will", "insert early - (0,0)", "insert late - (0,1)", "did"}));
}

}  // namespace
}  // namespace cd::testing
