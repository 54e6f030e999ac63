// What the store does so that objects are made only when touched: fetches
// in batches come back as faults and load a batch per touch, counts (of a
// request or of a to-many relationship) make no object and still see the
// context's unsaved changes, and a refreshed object drops its values.
#include <gtest/gtest.h>

#include "Platform/CoreData/tests/TestModel.h"

namespace cd::testing {
namespace {

using Op = Predicate::Operator;

class FaultingTest : public ::testing::Test {
 protected:
  TemporaryDirectory dir;
  std::string path = dir.file("Notes.sqlite");
};

TEST_F(FaultingTest, BatchedFetchGivesFaultsAndATouchLoadsItsBatchAlone) {
  {
    Stack s(makeModel(), path);
    for (int i = 0; i < 10; ++i) insertNote(*s.context, "n" + std::to_string(i), 9 - i);
    ASSERT_TRUE(s.context->save(nullptr));
  }
  Stack s(makeModel(), path);
  FetchRequest request("Note");
  request.setSortDescriptors({SortDescriptor("displayOrder", true)});
  request.setFetchBatchSize(4);
  auto notes = *s.context->executeFetchRequest(request, nullptr);
  ASSERT_EQ(notes.size(), 10u);
  for (const auto& n : notes) EXPECT_TRUE(n->isFault());

  // The sixth note sorts in the second batch (positions 4 to 7).
  EXPECT_EQ(notes[5]->value("title").stringValue(), "n4");
  for (size_t i = 0; i < notes.size(); ++i) EXPECT_EQ(notes[i]->isFault(), i < 4 || i > 7) << i;

  // A row deleted meanwhile by another context leaves its fault empty and
  // the rest of its batch whole.
  {
    Stack other(makeModel(), path);
    auto victim = *other.context->executeFetchRequest(FetchRequest("Note"), nullptr);
    for (const auto& n : victim) {
      if (n->value("title").stringValue() == "n0") other.context->deleteObject(n);
    }
    ASSERT_TRUE(other.context->save(nullptr));
  }
  EXPECT_EQ(notes[8]->value("title").stringValue(), "n1");
  EXPECT_TRUE(notes[9]->value("title").isNull());
  EXPECT_FALSE(s.context->existingObjectWithID(notes[9]->objectID(), nullptr));

  // A limit is the store's too.
  request.setFetchLimit(3);
  EXPECT_EQ(titles(*s.context->executeFetchRequest(request, nullptr)), (std::vector<std::string>{"n9", "n8", "n7"}));
}

// Counts by the store agree with counting what a fetch returns, whatever
// the context holds unsaved: moved, new and deleted notes.
TEST_F(FaultingTest, CountsMakeNoObjectAndSeeUnsavedChanges) {
  {
    Stack s(makeModel(), path);
    auto work = insertFolder(*s.context, "Work", 0);
    auto home = insertFolder(*s.context, "Home", 1);
    for (int i = 0; i < 50; ++i) insertNote(*s.context, "w" + std::to_string(i), i, work);
    for (int i = 0; i < 5; ++i) insertNote(*s.context, "h" + std::to_string(i), i, home);
    ASSERT_TRUE(s.context->save(nullptr));
  }
  Stack s(makeModel(), path);
  auto folders = *s.context->executeFetchRequest(FetchRequest("Folder"), nullptr);
  auto work = folders[0]->value("title").stringValue() == "Work" ? folders[0] : folders[1];
  auto home = work == folders[0] ? folders[1] : folders[0];
  EXPECT_EQ(work->countOfObjects("notes"), 50u);
  EXPECT_EQ(home->countOfObjects("notes"), 5u);
  EXPECT_EQ(s.context->countForFetchRequest(FetchRequest("Note"), nullptr), 55u);
  EXPECT_EQ(s.context->registeredObjectCount(), 2u) << "no note was made to be counted";

  // Two notes move from Work to Home, three new ones join Work, one of
  // Home goes, one of Work is renumbered: all unsaved.
  auto inWork = Predicate::compare("folder", Op::EqualTo, work);
  auto inHome = Predicate::compare("folder", Op::EqualTo, home);
  FetchRequest fromWork("Note");
  fromWork.setPredicate(inWork);
  fromWork.setSortDescriptors({SortDescriptor("displayOrder", true)});
  auto workNotes = *s.context->executeFetchRequest(fromWork, nullptr);
  workNotes[0]->setObject("folder", home);
  workNotes[1]->setObject("folder", home);
  workNotes[2]->setValue("displayOrder", ns::Value(100));
  for (int i = 0; i < 3; ++i) insertNote(*s.context, "new" + std::to_string(i), 200 + i, work);
  FetchRequest fromHome("Note");
  fromHome.setPredicate(inHome);
  s.context->deleteObject((*s.context->executeFetchRequest(fromHome, nullptr))[0]);

  EXPECT_EQ(work->countOfObjects("notes"), 51u);
  EXPECT_EQ(home->countOfObjects("notes"), 6u);
  const std::pair<const char*, PredicatePtr> cases[] = {
      {"all", nullptr},
      {"in Work", inWork},
      {"in Home", inHome},
      {"ordered from 40", Predicate::compare("displayOrder", Op::GreaterThanOrEqualTo, ns::Value(40))},
      {"Work and from 40", Predicate::andPredicate({inWork, Predicate::compare("displayOrder", Op::GreaterThanOrEqualTo,
                                                                               ns::Value(40))})},
      {"titled new0", Predicate::compare("title", Op::EqualTo, ns::Value("new0"))},
  };
  for (const auto& [name, predicate] : cases) {
    SCOPED_TRACE(name);
    FetchRequest request("Note");
    request.setPredicate(predicate);
    EXPECT_EQ(s.context->countForFetchRequest(request, nullptr), s.context->executeFetchRequest(request, nullptr)->size());
  }
  // What was counted is what is saved.
  ASSERT_TRUE(s.context->save(nullptr));
  Stack fresh(makeModel(), path);
  FetchRequest all("Note");
  EXPECT_EQ(fresh.context->countForFetchRequest(all, nullptr), 57u);
}

TEST_F(FaultingTest, RefreshDropsTheValuesOfAnUnchangedObjectOnly) {
  {
    Stack s(makeModel(), path);
    auto note = insertNote(*s.context, "kept", 0);
    note->setTransformable("text", std::string("rich"));
    insertNote(*s.context, "changed", 1);
    ASSERT_TRUE(s.context->save(nullptr));
  }
  Stack s(makeModel(), path);
  FetchRequest request("Note");
  request.setSortDescriptors({SortDescriptor("displayOrder", true)});
  auto notes = *s.context->executeFetchRequest(request, nullptr);
  // The stored bytes as they are, read without decoding them.
  EXPECT_EQ(notes[0]->transformableData("text"), (ns::Data{'T', 'r', 'i', 'c', 'h'}));
  EXPECT_EQ(notes[1]->transformableData("text"), std::nullopt) << "none stored";
  EXPECT_EQ(std::any_cast<std::string>(notes[0]->transformable("text")), "rich");
  notes[1]->setValue("title", ns::Value("changed here"));

  s.context->refreshObject(notes[0], false);
  s.context->refreshObject(notes[1], false);
  EXPECT_TRUE(notes[0]->isFault());
  EXPECT_FALSE(notes[1]->isFault()) << "unsaved changes are never dropped";
  {
    Stack other(makeModel(), path);
    auto theirs = *other.context->executeFetchRequest(request, nullptr);
    theirs[0]->setValue("title", ns::Value("saved elsewhere"));
    ASSERT_TRUE(other.context->save(nullptr));
  }
  EXPECT_EQ(notes[0]->value("title").stringValue(), "saved elsewhere");
  EXPECT_EQ(std::any_cast<std::string>(notes[0]->transformable("text")), "rich");
  EXPECT_EQ(notes[1]->value("title").stringValue(), "changed here");
  notes[0]->setTransformable("text", std::string("new"));
  EXPECT_EQ(notes[0]->transformableData("text"), std::nullopt) << "a value set since is not saved yet";
}

}  // namespace
}  // namespace cd::testing
