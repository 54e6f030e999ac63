#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iterator>

#include "Platform/CoreData/CoreDataErrors.h"
#include "Platform/CoreData/tests/TestModel.h"

namespace cd::testing {
namespace {

std::string run(const std::string& command) {
  std::string out;
  FILE* p = popen(command.c_str(), "r");
  if (!p) return out;
  char buf[512];
  while (fgets(buf, sizeof buf, p)) out += buf;
  pclose(p);
  return out;
}

std::string readAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

class StoreTest : public ::testing::Test {
 protected:
  TemporaryDirectory dir;
  std::string path = dir.file("Notes.sqlite");
};

TEST_F(StoreTest, EveryAttributeTypeSurvivesReopening) {
  ns::Date stamp(123456.5);
  {
    Stack s(makeModel(), path);
    ASSERT_TRUE(s.store) << s.error.description();
    auto folder = insertFolder(*s.context, "Work", 3);
    auto note = insertNote(*s.context, "Grüße\nline", -7, folder);
    note->setValue("timeStamp", ns::Value(stamp));
    note->setTransformable("text", std::string("rich text"));
    note->setValue("blob", ns::Value(ns::Data{}));  // empty, not nil
    insertNote(*s.context, "second", 2147483647);
    ns::Error error;
    ASSERT_TRUE(s.context->save(&error)) << error.description();
  }
  Stack s(makeModel(), path);
  ASSERT_TRUE(s.store);
  FetchRequest request("Note");
  request.setSortDescriptors({SortDescriptor("displayOrder", true)});
  auto notes = *s.context->executeFetchRequest(request, nullptr);
  ASSERT_EQ(notes.size(), 2u);
  auto& note = notes[0];
  EXPECT_EQ(note->value("title").stringValue(), "Grüße\nline");
  EXPECT_EQ(note->value("displayOrder").integerValue(), -7);
  EXPECT_EQ(*note->value("timeStamp").asDate(), stamp);
  EXPECT_TRUE(note->value("reminderDate").isNull());
  EXPECT_EQ(std::any_cast<std::string>(note->transformable("text")), "rich text");
  ASSERT_TRUE(note->value("blob").isData());
  EXPECT_TRUE(note->value("blob").asData()->empty());
  ASSERT_TRUE(note->object("folder"));
  EXPECT_EQ(note->object("folder")->value("title").stringValue(), "Work");
  EXPECT_EQ(note->object("folder")->countOfObjects("notes"), 1u);
  EXPECT_EQ(notes[1]->value("displayOrder").integerValue(), 2147483647);
  EXPECT_FALSE(notes[1]->transformable("text").has_value());
}

TEST_F(StoreTest, FileIsAPlainDatabaseThatSqliteReads) {
  {
    Stack s(makeModel(), path);
    insertNote(*s.context, "from the store", 4);
    ASSERT_TRUE(s.context->save(nullptr));
  }
  EXPECT_EQ(run("sqlite3 '" + path + "' 'SELECT title, displayOrder FROM Note'"), "from the store|4\n");
  EXPECT_EQ(run("sqlite3 '" + path + "' 'PRAGMA integrity_check'"), "ok\n");
}

TEST_F(StoreTest, AdditiveModelChangeIsMigratedAndKeepsData) {
  {
    Stack s(makeModel(1), path);
    insertNote(*s.context, "old note", 1);
    ASSERT_TRUE(s.context->save(nullptr));
  }
  Stack s(makeModel(2), path);
  ASSERT_TRUE(s.store) << s.error.description();
  auto notes = *s.context->executeFetchRequest(FetchRequest("Note"), nullptr);
  ASSERT_EQ(notes.size(), 1u);
  EXPECT_EQ(notes[0]->value("title").stringValue(), "old note");
  EXPECT_TRUE(notes[0]->value("summary").isNull());
  notes[0]->setValue("summary", ns::Value("new column"));
  s.context->insertNewObject("Tag")->setValue("name", ns::Value("t"));
  ns::Error error;
  ASSERT_TRUE(s.context->save(&error)) << error.description();
  EXPECT_EQ(run("sqlite3 '" + path + "' 'SELECT title, summary FROM Note; SELECT name FROM Tag'"),
            "old note|new column\nt\n");
}

TEST_F(StoreTest, AnIndexedAttributeIsIndexedInEveryStoreThatOpens) {
  const std::string indexes = "sqlite3 '" + path + "' \"SELECT name FROM sqlite_master WHERE name = 'Note_summary'\"";
  { Stack s(makeModel(1), path); }
  EXPECT_EQ(run(indexes), "");
  { Stack s(makeModel(2), path); }
  EXPECT_EQ(run(indexes), "Note_summary\n");
  // A store whose index went missing gains it again at its next opening.
  run("sqlite3 '" + path + "' 'DROP INDEX Note_summary'");
  Stack s(makeModel(2), path);
  ASSERT_TRUE(s.store) << s.error.description();
  EXPECT_EQ(run(indexes), "Note_summary\n");
}

TEST_F(StoreTest, ChangedModelIsRefusedWithoutMigrationOptionsOrWhenNotAdditive) {
  { Stack s(makeModel(1), path); }
  {
    auto coordinator = std::make_shared<PersistentStoreCoordinator>(makeModel(2));
    ns::Error error;
    EXPECT_FALSE(coordinator->addPersistentStore(kSQLiteStoreType, path, {}, &error));
    EXPECT_EQ(error.code(), kPersistentStoreIncompatibleVersionHashError);
  }
  // A type change cannot be inferred.
  auto changed = std::make_shared<ManagedObjectModel>();
  changed->addEntity("Folder").addAttribute("displayOrder", AttributeType::String);
  auto coordinator = std::make_shared<PersistentStoreCoordinator>(changed);
  ns::Error error;
  EXPECT_FALSE(coordinator->addPersistentStore(kSQLiteStoreType, path, migrationOptions(), &error));
  EXPECT_EQ(error.domain(), ns::kCocoaErrorDomain);
  EXPECT_NE(error.code(), 0);
  // The refused store is unchanged and still opens with its own model.
  Stack again(makeModel(1), path);
  EXPECT_TRUE(again.store) << again.error.description();
}

// A damaged file opens as no store, so nothing can be saved over it, and
// the file is left exactly as it was.
TEST_F(StoreTest, DamagedFileFailsCleanlyAndStaysAsItWas) {
  {
    Stack s(makeModel(), path);
    for (int i = 0; i < 300; ++i) insertNote(*s.context, "note " + std::to_string(i) + std::string(100, 'x'), i);
    ASSERT_TRUE(s.context->save(nullptr));
  }
  const std::string store = readAll(path);
  ASSERT_GT(store.size(), 16384u);
  struct Case {
    const char* name;
    std::string bytes;
  };
  const Case cases[] = {
      {"text", "this is not a database, just some text that is long enough to have a header"},
      {"cut short", store.substr(0, store.size() / 2)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::ofstream(path, std::ios::binary | std::ios::trunc) << c.bytes;
    Stack s(makeModel(), path);
    EXPECT_FALSE(s.store);
    EXPECT_EQ(s.error.domain(), ns::kCocoaErrorDomain);
    EXPECT_EQ(s.error.code(), 259);
    EXPECT_NE(s.error.localizedDescription().find("is damaged"), std::string::npos) << s.error.description();
    EXPECT_TRUE(s.coordinator->persistentStores().empty());
    ns::Error error;
    insertNote(*s.context, "nowhere");
    EXPECT_FALSE(s.context->save(&error));
    EXPECT_TRUE(s.context->hasChanges());
    EXPECT_EQ(readAll(path), c.bytes);
  }
}

// A store the device will not let us write or read (a read-only file or
// folder, a file without permissions) opens as no store, is not called
// damaged, and stays as it was.
// Root writes anything, so the opening runs in a child process as "nobody".
TEST_F(StoreTest, ReadOnlyOrUnreadableFileIsRefusedNotCalledDamaged) {
  {
    Stack s(makeModel(), path);
    insertNote(*s.context, "kept", 1);
    ASSERT_TRUE(s.context->save(nullptr));
  }
  const std::string store = readAll(path);
  constexpr uid_t kNobody = 65534;
  struct Case {
    const char* name;
    mode_t fileMode, folderMode;
  };
  for (const Case& c : {Case{"read-only file", 0444, 0755}, Case{"read-only folder", 0644, 0555},
                        Case{"unreadable file", 0000, 0755}}) {
    SCOPED_TRACE(c.name);
    ASSERT_EQ(::chmod(path.c_str(), c.fileMode), 0);
    ASSERT_EQ(::chmod(dir.path().c_str(), c.folderMode), 0);
    if (::geteuid() == 0) {
      ASSERT_EQ(::chown(dir.path().c_str(), kNobody, kNobody), 0);
      ASSERT_EQ(::chown(path.c_str(), kNobody, kNobody), 0);
    }
    int out[2];
    ASSERT_EQ(::pipe(out), 0);
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      ::close(out[0]);
      if (::geteuid() == 0 && (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)) ::_exit(2);
      Stack s(makeModel(), path);
      insertNote(*s.context, "lost");
      std::string report = std::string(s.store ? "store" : "none") + "|" +
                           (s.context->save(nullptr) ? "saved" : "unsaved") + "|" + s.error.localizedDescription();
      ::_exit(::write(out[1], report.data(), report.size()) == static_cast<ssize_t>(report.size()) ? 0 : 3);
    }
    ::close(out[1]);
    std::string report;
    char buffer[512];
    for (ssize_t n; (n = ::read(out[0], buffer, sizeof buffer)) > 0;) report.append(buffer, n);
    ::close(out[0]);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    const std::string expected = "none|unsaved|";
    EXPECT_EQ(report.substr(0, expected.size()), expected) << report;
    EXPECT_EQ(report.find("damaged"), std::string::npos) << report;
    EXPECT_NE(report.find(path), std::string::npos) << report;
    ASSERT_EQ(::chmod(dir.path().c_str(), 0755), 0);
    ASSERT_EQ(::chmod(path.c_str(), 0644), 0);
    EXPECT_EQ(readAll(path), store);
  }
}

TEST_F(StoreTest, ObjectURIsRoundTripAndForeignOrStaleOnesFailCleanly) {
  Stack s(makeModel(), path);
  auto note = insertNote(*s.context, "remember me");
  EXPECT_TRUE(note->objectID().isTemporaryID());
  std::string temporaryURI = note->objectID().URIRepresentation();
  ASSERT_TRUE(s.context->save(nullptr));
  ASSERT_FALSE(note->objectID().isTemporaryID());
  std::string uri = note->objectID().URIRepresentation();
  EXPECT_EQ(uri.rfind(std::string(kObjectURIScheme) + "://" + s.store->identifier() + "/Note/p", 0), 0u) << uri;

  // Another stack on the same file resolves it to the same row.
  Stack other(makeModel(), path);
  auto id = other.coordinator->managedObjectIDForURIRepresentation(uri);
  ASSERT_TRUE(id);
  EXPECT_EQ(id->URIRepresentation(), uri);
  ns::Error error;
  auto found = other.context->existingObjectWithID(*id, &error);
  ASSERT_TRUE(found) << error.description();
  EXPECT_EQ(found->value("title").stringValue(), "remember me");

  const std::string malformed[] = {
      "",
      temporaryURI,
      "x-quillbox-object://" + s.store->identifier() + "/Nope/p1",
      "x-quillbox-object://00000000-0000-4000-8000-000000000000/Note/p1",
      "x-quillbox-object://" + s.store->identifier() + "/Note/p",
      "x-quillbox-object://" + s.store->identifier() + "/Note/p12x",
      "http://example.com/Note/p1",
  };
  for (const auto& bad : malformed) {
    EXPECT_FALSE(other.coordinator->managedObjectIDForURIRepresentation(bad)) << bad;
  }

  // Stale: the row was deleted after the URI was handed out.
  s.context->deleteObject(note);
  ASSERT_TRUE(s.context->save(nullptr));
  Stack third(makeModel(), path);
  auto staleID = third.coordinator->managedObjectIDForURIRepresentation(uri);
  ASSERT_TRUE(staleID);
  error = {};
  EXPECT_FALSE(third.context->existingObjectWithID(*staleID, &error));
  EXPECT_EQ(error.code(), kManagedObjectReferentialIntegrityError);
}

TEST_F(StoreTest, MigratingCopiesToANewFileAndRemovingDetaches) {
  Stack s(makeModel(), path);
  insertNote(*s.context, "travels");
  ASSERT_TRUE(s.context->save(nullptr));
  std::string target = dir.file("Moved.sqlite");
  ns::Error error;
  auto moved = s.coordinator->migratePersistentStore(s.store, target, migrationOptions(), kSQLiteStoreType, &error);
  ASSERT_TRUE(moved) << error.description();
  EXPECT_EQ(moved->URL(), target);
  ASSERT_EQ(s.coordinator->persistentStores().size(), 1u);
  EXPECT_EQ(fetchTitles(*s.context, "Note"), std::vector<std::string>{"travels"});
  // Existing destination: refused, nothing overwritten.
  EXPECT_FALSE(s.coordinator->migratePersistentStore(moved, path, {}, kSQLiteStoreType, &error));
  EXPECT_TRUE(s.coordinator->removePersistentStore(moved, &error));
  EXPECT_TRUE(s.coordinator->persistentStores().empty());
  EXPECT_FALSE(s.coordinator->removePersistentStore(moved, &error));
  EXPECT_EQ(run("sqlite3 '" + target + "' 'SELECT title FROM Note'"), "travels\n");
}

}  // namespace
}  // namespace cd::testing
