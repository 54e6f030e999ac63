// The compaction kill test's child: with the crash context built on the
// given report folder, it sets a key and removes another again and again, so
// that a compaction of the user keys is almost always under way, until the
// test kills it.
//
//   CrashReporter_compaction_child <report folder> <crashed marker path>
//
// One byte on standard output says it has started.
#include <unistd.h>

#include <string>

#include "Libraries/CrashReporter/DVCRUserLoggingKeys.h"
#include "Libraries/CrashReporter/tests/TestCrashContext.h"

int main(int argc, char** argv) {
  if (argc != 3) return 2;
  if (dvcr_testing::buildTestCrashContext(argv[1], argv[2], {}, nullptr) == nullptr) return 3;
  if (::write(STDOUT_FILENO, "r", 1) != 1) return 4;
  for (int64_t i = 0;; ++i) {
    DVCRUserLoggingSetUserKey("churn", ns::Value(i));
    DVCRUserLoggingSetUserKey("removed", ns::Value());  // forces a compaction
  }
}
