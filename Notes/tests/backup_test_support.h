// What the backup tests share: a store of folders and notes in a loaded
// container, the calls of a writer's and a reader's block (waited for on
// the main loop), and a shell command's output for second readers.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "Notes/NTBackupsManager.h"
#include "Notes/tests/NotesTestStore.h"
#include "Platform/Dispatch/RunLoop.h"

namespace notes::testing {

// The command's standard output.
inline std::string runCommand(const std::string& command) {
  std::string out;
  FILE* pipe = popen(command.c_str(), "r");
  char buffer[4096];
  while (pipe && fgets(buffer, sizeof buffer, pipe)) out += buffer;
  if (pipe) pclose(pipe);
  return out;
}

// Single quotes for the shell.
inline std::string shellQuoted(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

// An error the notes code made of a message it reported: its domain names
// the source file and its code the line of the report, which holds the
// message.
inline ::testing::AssertionResult reportedAtItsSite(const ns::Error& error) {
  std::ifstream source(std::string(QUILLBOX_SOURCE_DIR) + "/Notes/" + error.domain());
  if (!source) return ::testing::AssertionFailure() << "no source file Notes/" << error.domain();
  std::string line;
  for (int64_t number = 1; std::getline(source, line); ++number) {
    if (number != error.code()) continue;
    if (line.find("QB_REPORT(\"" + error.localizedDescription() + "\")") != std::string::npos)
      return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << error.domain() << ":" << error.code() << " reads `" << line << "`";
  }
  return ::testing::AssertionFailure() << error.domain() << " has no line " << error.code();
}

// Every call of a writer's progress block.
struct WriterCalls {
  std::mutex mutex;
  std::vector<float> progress;
  std::optional<NTBackup> backup;
  std::optional<ns::Error> error;
  bool finished = false;

  NTBackupsManager::ProgressBlock block() {
    return [this](float p, const NTBackup* b, const ns::Error* e) {
      std::lock_guard lock(mutex);
      progress.push_back(p);
      if (b) backup = *b;
      if (e) error = *e;
      if (b || e) finished = true;
    };
  }
  bool isFinished() {
    std::lock_guard lock(mutex);
    return finished;
  }
  void wait() {
    dispatch::RunLoop::main().runUntil([this] { return isFinished(); }, 20);
  }
};

// Every call of a reader's progress block.
struct ReaderCalls {
  std::mutex mutex;
  std::vector<float> progress;
  std::optional<NTBackupsManager::Folders> folders;
  std::optional<ns::Error> error;
  bool finished = false;

  NTBackupsManager::OpenProgressBlock block() {
    return [this](float p, const NTBackupsManager::Folders* f, const ns::Error* e) {
      std::lock_guard lock(mutex);
      progress.push_back(p);
      if (f) folders = *f;
      if (e) error = *e;
      if (f || e) finished = true;
    };
  }
  void wait() {
    dispatch::RunLoop::main().runUntil([this] {
      std::lock_guard lock(mutex);
      return finished;
    }, 20);
  }
};

// Opens `backup` and waits for the final call.
inline void readBackup(const NTBackup& backup, ReaderCalls& calls) {
  NTBackupsManager::openBackup(backup, calls.block());
  calls.wait();
}

// A store in Documents/"Notes.sqlite" filled through the main context,
// then loaded into a container of its own for the writer.
class BackupStoreTest : public NotesStoreTest {
 public:
  void SetUp() override {
    NotesStoreTest::SetUp();
    container_ = std::make_shared<cd::PersistentContainer>("Notes", NTDataModel::model());
  }
  void load() {
    if (ctx().hasChanges()) {
      ASSERT_TRUE(NTData::saveContext(ctx()));
    }
    auto description = cd::PersistentStoreDescription(storePath());
    container_->setPersistentStoreDescriptions(std::vector<cd::PersistentStoreDescription>{description});
    container_->loadPersistentStores([](const cd::PersistentStoreDescription&, const ns::Error* e) {
      ASSERT_EQ(e, nullptr);
    });
  }
  void addFolder(std::optional<std::string> title, std::vector<std::string> texts) {
    auto folder = NTData::insertNewFolderAtIndex(ctx(), NTData::countTotalFolders(ctx()));
    folder->setTitle(title);
    for (size_t i = 0; i < texts.size(); ++i) {
      auto note = NTData::insertNewNoteAtIndex(ctx(), i, folder);
      ns::AttributedString body(texts[i]);
      note->setText(&body, ns::Date(700000000.0 + double(i)));
    }
  }
  // A manual backup of the container, waited for.
  void backUp(WriterCalls& calls, bool automatic = false) {
    NTBackupsManager::startBackup(automatic, container_, calls.block());
    calls.wait();
  }
  std::shared_ptr<cd::PersistentContainer> container_;
};

}  // namespace notes::testing
