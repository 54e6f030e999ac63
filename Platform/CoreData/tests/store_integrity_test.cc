// When a store is checked page by page: after its last writer ended without
// closing it (a write-ahead log left behind), at the opening; after a clean
// end, only when SQLite meets the damage, which then stops every save. A
// damaged file is never written, either way.
#include <gtest/gtest.h>

#include <signal.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <vector>

#include "Platform/CoreData/tests/TestModel.h"

namespace cd::testing {
namespace {

std::string readAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

off_t sizeOf(const std::string& path) {
  struct stat info;
  return ::stat(path.c_str(), &info) == 0 ? info.st_size : -1;
}

// The pages holding the rows of the notes' table, read with sqlite3's page
// statistics: (offset, size) of each in the file.
std::vector<std::pair<off_t, int>> noteLeafPages(const std::string& path) {
  std::vector<std::pair<off_t, int>> pages;
  sqlite3* db = nullptr;
  sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
  sqlite3_stmt* stmt = nullptr;
  sqlite3_prepare_v2(db, "SELECT pageno, pgsize FROM dbstat WHERE name = 'Note' AND pagetype = 'leaf'", -1, &stmt,
                     nullptr);
  while (stmt && sqlite3_step(stmt) == SQLITE_ROW) {
    int size = sqlite3_column_int(stmt, 1);
    pages.emplace_back(static_cast<off_t>(sqlite3_column_int64(stmt, 0) - 1) * size, size);
  }
  sqlite3_finalize(stmt);
  sqlite3_close(db);
  return pages;
}

void overwrite(const std::string& path, const std::vector<std::pair<off_t, int>>& pages) {
  std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
  for (const auto& [offset, size] : pages) {
    file.seekp(offset);
    std::string noise(static_cast<size_t>(size), '\0');
    for (size_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<char>((i * 131 + 7) % 251);
    file.write(noise.data(), static_cast<std::streamsize>(noise.size()));
  }
}

#ifndef CD_STORE_CHILD
#error "CD_STORE_CHILD names the store's second process"
#endif

// A second process opens the store, saves one note and ends: returning from
// main with its store still open, as the app does (`exits`), or killed.
void saveOneNoteInAnotherProcess(const std::string& path, const char* end) {
  pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::execl(CD_STORE_CHILD, CD_STORE_CHILD, path.c_str(), end, static_cast<char*>(nullptr));
    ::_exit(127);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  if (std::string(end) == "exits") {
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  } else {
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << status;
  }
}

TEST(StoreIntegrityTest, DamageIsFoundAtOpeningAfterAnUncleanEndAndBeforeAnySaveAfterACleanOne) {
  struct Case {
    const char* end;
    bool logLeft;
  };
  for (const Case& c : {Case{"exits", false}, Case{"killed", true}}) {
    SCOPED_TRACE(c.end);
    TemporaryDirectory dir;
    const std::string path = dir.file("Notes.sqlite");
    {
      Stack s(makeModel(), path);
      for (int i = 0; i < 300; ++i) insertNote(*s.context, "note " + std::to_string(i) + std::string(100, 'x'), i);
      ASSERT_TRUE(s.context->save(nullptr));
    }
    EXPECT_LE(sizeOf(path + "-wal"), 0) << "a store closed in this process leaves no log";
    saveOneNoteInAnotherProcess(path, c.end);
    EXPECT_EQ(sizeOf(path + "-wal") > 0, c.logLeft);

    auto leaves = noteLeafPages(path);
    ASSERT_GT(leaves.size(), 3u);
    overwrite(path, leaves);
    const std::string damaged = readAll(path);
    const std::string log = readAll(path + "-wal");

    Stack s(makeModel(), path);
    if (c.logLeft) {
      EXPECT_FALSE(s.store);
      EXPECT_EQ(s.error.code(), 259);
      EXPECT_NE(s.error.localizedDescription().find("is damaged"), std::string::npos) << s.error.description();
    } else {
      // Opened on its header and schema alone; the first read of the
      // damaged rows finds it, and from then on nothing is saved.
      ASSERT_TRUE(s.store) << s.error.description();
      ns::Error fetchError;
      EXPECT_FALSE(s.context->executeFetchRequest(FetchRequest("Note"), &fetchError));
      ns::Error saveError;
      insertNote(*s.context, "never written");
      EXPECT_FALSE(s.context->save(&saveError));
      EXPECT_EQ(saveError.code(), 259);
      EXPECT_NE(saveError.localizedDescription().find("is damaged"), std::string::npos) << saveError.description();
      EXPECT_TRUE(s.context->hasChanges());
    }
    EXPECT_EQ(readAll(path), damaged);
    EXPECT_EQ(readAll(path + "-wal"), log) << "the log is not folded into a damaged file";
  }
}

// A header that promises more pages than the file holds is found at once,
// without reading the rest, as is a file that is no database.
TEST(StoreIntegrityTest, FileCutShortIsRefusedWithoutAnUncleanEnd) {
  TemporaryDirectory dir;
  const std::string path = dir.file("Notes.sqlite");
  {
    Stack s(makeModel(), path);
    for (int i = 0; i < 300; ++i) insertNote(*s.context, "note " + std::to_string(i) + std::string(100, 'x'), i);
    ASSERT_TRUE(s.context->save(nullptr));
  }
  const std::string whole = readAll(path);
  for (size_t keep : {whole.size() - 4096, size_t{4096}, size_t{100}, size_t{60}}) {
    SCOPED_TRACE(keep);
    std::ofstream(path, std::ios::binary | std::ios::trunc) << whole.substr(0, keep);
    Stack s(makeModel(), path);
    EXPECT_FALSE(s.store);
    EXPECT_EQ(s.error.code(), 259);
    EXPECT_NE(s.error.localizedDescription().find("is damaged"), std::string::npos) << s.error.description();
    EXPECT_EQ(readAll(path), whole.substr(0, keep));
  }
}

}  // namespace
}  // namespace cd::testing
