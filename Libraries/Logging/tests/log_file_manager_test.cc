#include <gtest/gtest.h>

#include <regex>

#include "Libraries/Logging/LKLogFileFormatterDefault.h"
#include "Libraries/Logging/LKLogFileInfo.h"
#include "Libraries/Logging/tests/LogFileTesting.h"
#include "Platform/Foundation/Bundle.h"
#include "Platform/Foundation/Clock.h"
#include "Platform/Foundation/ExtendedAttributes.h"

namespace {

class LogFileManagerTest : public ::testing::Test {
 protected:
  void SetUp() override { ns::Clock::useVirtual(ns::Date::fromUnixTime(1700000000.123)); }
  void TearDown() override {
    ns::Clock::useReal();
    ns::ExtendedAttributes::setUseSideRecordsOnly(false);
  }
  std::string logs() const { return device_.path("Logs"); }
  std::shared_ptr<LKLogFileManagerDefault> manager() {
    auto m = std::make_shared<LKLogFileManagerDefault>(logs());
    m->logsDirectory();
    return m;
  }
  std::string app() const { return LKLogFileManagerDefault::applicationName(); }
  // A log file named for `unixTime`, created at that moment of the clock.
  std::string makeLogFile(double unixTime, const std::string& content = "x") {
    ns::Clock::setWallTime(ns::Date::fromUnixTime(unixTime));
    auto m = manager();
    // Pruning after each creation must not touch what the test sets up.
    m->setMaximumNumberOfLogFiles(0);
    m->setLogFilesDiskQuota(0);
    auto path = m->createNewLogFileWithError(nullptr);
    EXPECT_TRUE(path);
    writeFile(*path, content);
    return *path;
  }

  ns::testing::TemporaryDevice device_;
};

TEST_F(LogFileManagerTest, NamesCarryApplicationAndUtcTime) {
  EXPECT_EQ(app(), "Logging_tests");
  auto m = manager();
  EXPECT_EQ(m->newLogFileName(), "Logging_tests 2023-11-14--22-13-20-123.log");
  EXPECT_EQ(m->maximumNumberOfLogFiles(), 5u);
  EXPECT_EQ(m->logFilesDiskQuota(), 20u * 1024 * 1024);
  EXPECT_EQ(LKLogFileManagerDefault().logsDirectory(), device_.device().cachesDirectory() + "/Logs");
}

TEST_F(LogFileManagerTest, NewFileNeverReplacesOneOfTheSameName) {
  auto m = manager();
  std::string plain = logs() + "/Logging_tests 2023-11-14--22-13-20-123.log";
  writeFile(plain, "earlier lines\n");
  auto second = m->createNewLogFileWithError(nullptr);
  ASSERT_TRUE(second);
  EXPECT_EQ(*second, logs() + "/Logging_tests 2023-11-14--22-13-20-123 2.log");
  auto third = m->createNewLogFileWithError(nullptr);
  ASSERT_TRUE(third);
  EXPECT_EQ(*third, logs() + "/Logging_tests 2023-11-14--22-13-20-123 3.log");
  EXPECT_EQ(readFile(plain), "earlier lines\n");
  EXPECT_EQ(readFile(*second), "");
}

class HeaderManager : public LKLogFileManagerDefault {
 public:
  using LKLogFileManagerDefault::LKLogFileManagerDefault;
  std::optional<std::string> logFileHeader() override { return "Quillbox log"; }
};

TEST_F(LogFileManagerTest, HeaderStartsEachNewFileOnItsOwnLine) {
  auto m = std::make_shared<HeaderManager>(logs());
  auto path = m->createNewLogFileWithError(nullptr);
  ASSERT_TRUE(path);
  EXPECT_EQ(readFile(*path), "Quillbox log\n");
}

TEST_F(LogFileManagerTest, ListingsKeepOnlyLogFilesOfThisApplication) {
  auto m = manager();
  for (const char* name : {"Other 2023-11-14--22-13-20-123.log", "Logging_tests notes.txt", "Logging_tests.log",
                           "Logging_tests 2023-11-14--22-13-20-123.log"}) {
    writeFile(logs() + "/" + name, "");
  }
  EXPECT_EQ(m->unsortedLogFileNames(), std::vector<std::string>{"Logging_tests 2023-11-14--22-13-20-123.log"});
}

TEST_F(LogFileManagerTest, SortedNewestFirstByNameDateElseCreationDate) {
  std::string a = makeLogFile(1700000000);
  std::string c = makeLogFile(1700000200);
  std::string b = makeLogFile(1700000100);
  // Its date part does not parse: it sorts by its creation date, the newest.
  ns::Clock::setWallTime(ns::Date::fromUnixTime(1700000300));
  std::string odd = logs() + "/" + app() + " copy.log";
  writeFile(odd, "");
  ns::FileAttributeChanges changes;
  changes.creationDate = ns::Clock::now();
  ASSERT_TRUE(ns::FileManager::defaultManager().setAttributes(changes, odd));
  EXPECT_EQ(manager()->sortedLogFilePaths(), (std::vector<std::string>{odd, c, b, a}));
}

TEST_F(LogFileManagerTest, PrunesByCountAndQuotaButNeverTheFileBeingWritten) {
  struct Case {
    const char* name;
    uint64_t count;
    uint64_t quota;
    bool newestArchived;
    size_t kept;
  } cases[] = {
      {"defaults keep five", 5, 20 * 1024 * 1024, false, 5},
      {"quota of a byte keeps the unarchived newest", 0, 1, false, 1},
      {"quota of a byte with the newest archived", 0, 1, true, 0},
      {"no count and no quota", 0, 0, false, 6},
      {"quota of two files", 0, 25, false, 2},
  };
  for (const auto& c : cases) {
    std::filesystem::remove_all(logs());
    std::vector<std::string> paths;
    for (int i = 0; i < 6; ++i) paths.push_back(makeLogFile(1700000000 + i * 10, "0123456789"));
    if (c.newestArchived) LKLogFileInfo(paths.back()).setIsArchived(true);
    // Not shared, so the setters prune at once.
    LKLogFileManagerDefault m(logs());
    m.setMaximumNumberOfLogFiles(c.count);
    m.setLogFilesDiskQuota(c.quota);
    m.deleteOldLogFiles();
    auto kept = m.sortedLogFilePaths();
    EXPECT_EQ(kept.size(), c.kept) << c.name;
    // What stays is always the newest.
    for (size_t i = 0; i < kept.size(); ++i) EXPECT_EQ(kept[i], paths[paths.size() - 1 - i]) << c.name;
  }
}

TEST_F(LogFileManagerTest, ArchivedFlagIsAnAttributeOthersCanRead) {
  std::string path = makeLogFile(1700000000);
  LKLogFileInfo info(path);
  EXPECT_FALSE(info.isArchived());
  info.setIsArchived(true);
  EXPECT_TRUE(info.isArchived());
  std::string command = "python3 -c \"import os,sys; sys.stdout.write(os.getxattr(sys.argv[1], "
                        "'user.logkit.log.archived').hex())\" '" + path + "'";
  FILE* pipe = ::popen(command.c_str(), "r");
  char out[16] = {};
  ASSERT_TRUE(std::fgets(out, sizeof out, pipe));
  ::pclose(pipe);
  EXPECT_STREQ(out, "01");

  // Any other value still means archived, and is made plain.
  ASSERT_TRUE(ns::ExtendedAttributes::set(path, "logkit.log.archived", std::string(1, '\0')));
  EXPECT_TRUE(info.isArchived());
  EXPECT_EQ(ns::ExtendedAttributes::get(path, "logkit.log.archived"), std::string("\x01"));
  info.setIsArchived(false);
  EXPECT_FALSE(info.isArchived());
}

TEST_F(LogFileManagerTest, ArchivedFlagFallsBackToASideRecord) {
  ns::ExtendedAttributes::setUseSideRecordsOnly(true);
  std::string path = makeLogFile(1700000000);
  std::string newer = makeLogFile(1700000010);
  LKLogFileInfo info(path);
  info.setIsArchived(true);
  EXPECT_TRUE(info.isArchived());
  EXPECT_TRUE(std::filesystem::exists(ns::ExtendedAttributes::sideRecordPath(path, "logkit.log.archived")));
  EXPECT_FALSE(LKLogFileInfo(newer).isArchived());
  auto m = manager();
  EXPECT_EQ(m->unsortedLogFilePaths().size(), 2u);
  m->setMaximumNumberOfLogFiles(1);  // prunes in the background
  std::string side = ns::ExtendedAttributes::sideRecordPath(path, "logkit.log.archived");
  EXPECT_TRUE(eventually([&] { return !std::filesystem::exists(path) && !std::filesystem::exists(side); }));
  EXPECT_TRUE(std::filesystem::exists(newer));
}

TEST_F(LogFileManagerTest, ProtectionFollowsBackgroundModesUnlessOneWasGiven) {
  std::string bundle = device_.path("Quillbox.app");
  std::filesystem::create_directories(bundle);
  writeFile(bundle + "/Info.plist",
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
            "<key>UIBackgroundModes</key><array><string>fetch</string></array></dict></plist>\n");
  EXPECT_EQ(manager()->logFileProtection(), std::string(ns::kFileProtectionCompleteUnlessOpen));
  ns::Bundle::setMainBundlePath(bundle);
  EXPECT_TRUE(LKLogFileManagerDefault::applicationDeclaresBackgroundModes());
  EXPECT_EQ(manager()->logFileProtection(), std::string(ns::kFileProtectionCompleteUntilFirstUserAuthentication));
  LKLogFileManagerDefault given(logs(), std::string(ns::kFileProtectionNone));
  EXPECT_EQ(given.logFileProtection(), std::string(ns::kFileProtectionNone));
  LKLogFileManagerDefault unknown(logs(), std::string("NSFileProtectionSomething"));
  EXPECT_EQ(unknown.logFileProtection(), std::string(ns::kFileProtectionCompleteUntilFirstUserAuthentication));
  auto path = given.createNewLogFileWithError(nullptr);
  ASSERT_TRUE(path);
  EXPECT_EQ(ns::FileManager::defaultManager().attributesOfItem(*path)->protection,
            std::optional<std::string>(ns::kFileProtectionNone));
  ns::Bundle::setMainBundlePath("");
}

TEST_F(LogFileManagerTest, RenameReplacesWhatIsThereAndMovesTheRecord) {
  std::string path = makeLogFile(1700000000, "mine");
  writeFile(logs() + "/taken.log", "theirs");
  LKLogFileInfo info(path);
  info.renameFile("taken.log");
  EXPECT_EQ(info.filePath(), logs() + "/taken.log");
  EXPECT_EQ(info.fileName(), "taken.log");
  EXPECT_EQ(readFile(info.filePath()), "mine");
  EXPECT_FALSE(std::filesystem::exists(path));
}

TEST_F(LogFileManagerTest, FileInfoOrdersByDatesAndDescribesItself) {
  std::string older = makeLogFile(1700000000);
  std::string newer = makeLogFile(1700000050);
  LKLogFileInfo a(older), b(newer);
  EXPECT_TRUE(LKLogFileInfo::reverseCompareByCreationDate(b, a));
  EXPECT_FALSE(LKLogFileInfo::reverseCompareByCreationDate(a, b));
  EXPECT_DOUBLE_EQ(a.age(), 50);
  EXPECT_EQ(a.fileSize(), 1u);
  EXPECT_TRUE(a == LKLogFileInfo(older));
  std::string text = a.description();
  for (const char* key : {"filePath", "fileName", "fileAttributes", "creationDate", "modificationDate", "fileSize",
                          "age", "isArchived"}) {
    EXPECT_NE(text.find(key), std::string::npos) << key;
  }
}

TEST(LogFileFormatterTest, UtcTimeTwoSpacesAndMessage) {
  LKLogFileFormatterDefault formatter;
  auto record = LKLogMessage::withMessage("Saved", 7, LKLogFlagInfo, 0, "f", std::nullopt, 1, nullptr, 0,
                                          ns::Date::fromUnixTime(1700000000.1239));
  EXPECT_EQ(formatter.formatLogMessage(record), std::optional<std::string>("2023/11/14 22:13:20:123  Saved"));

  // The hand-written time text is the date formatter's.
  ns::DateFormatter reference;
  reference.setLocale(ns::Locale::posix());
  reference.setTimeZone(*ns::TimeZone::forSecondsFromGMT(0));
  reference.setDateFormat("yyyy/MM/dd HH:mm:ss:SSS");
  for (double t : {0.0, 0.9995, 951782400.5, 951868799.999, 1709164800.0, 4102444799.001, 1234567890.0456,
                   253402300799.0}) {
    ns::Date d = ns::Date::fromUnixTime(t);
    EXPECT_EQ(LKLogFileFormatterDefault::standardTimeText(d), reference.stringFromDate(d)) << t;
  }
}

}  // namespace
