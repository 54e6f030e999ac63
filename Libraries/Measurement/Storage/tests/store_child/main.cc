// The store tests' child, one store on the device's measurement database:
//
//   Measurement_store_child kill <device directory> <database name>
//     commits 3 rows to table "t", then in a second transaction writes far
//     more than SQLite's page cache holds (so the file itself changes and
//     its journal is hot), says "ready" on standard output and waits to be
//     killed.
//   Measurement_store_child open-without-immutable-capability <device directory> <database name>
//     gives up CAP_LINUX_IMMUTABLE, opens the store and prints "opened" or
//     "failed <domain> <code> <errno>".
#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "Libraries/Measurement/Storage/MSRFileLocations.h"
#include "Libraries/Measurement/Storage/MSRSqliteStore.h"
#include "Platform/Dispatch/Shutdown.h"
#include "Platform/Foundation/Device.h"

namespace {

// Before any thread exists, so every later thread is made without it.
bool dropImmutableCapability() {
  __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
  __user_cap_data_struct data[2]{};
  if (::syscall(SYS_capget, &header, data) != 0) return false;
  data[CAP_LINUX_IMMUTABLE / 32].effective &= ~(1u << (CAP_LINUX_IMMUTABLE % 32));
  data[CAP_LINUX_IMMUTABLE / 32].permitted &= ~(1u << (CAP_LINUX_IMMUTABLE % 32));
  return ::syscall(SYS_capset, &header, data) == 0;
}

int killInTransaction(const std::string& path) {
  ns::Error error;
  auto store = MSRSqliteStore::initWithDatabasePath(path, &error);
  if (!store || !store->ensureTableWithName("t", {{"n", "INTEGER NOT NULL"}, {"payload", "BLOB NOT NULL"}}, {}, &error)) {
    return 3;
  }
  for (int n = 1; n <= 3; ++n) {
    if (!store->upsertRecord(ns::Dictionary{{"n", n}, {"payload", ns::Data(16, 1)}}, "t", &error)) return 4;
  }
  store->performTransactionWithError(&error, [&] {
    // 8 MiB against the default cache of 2 MiB.
    for (int n = 100; n < 228; ++n) {
      if (!store->upsertRecord(ns::Dictionary{{"n", n}, {"payload", ns::Data(64 * 1024, 2)}}, "t", &error)) return false;
    }
    std::puts("ready");
    std::fflush(stdout);
    for (;;) ::pause();
    return true;
  });
  return 5;
}

int openWithoutCapability(const std::string& path) {
  ns::Error error;
  auto store = MSRSqliteStore::initWithDatabasePath(path, &error);
  if (store) {
    std::puts("opened");
    return 0;
  }
  const ns::Value* underlying = error.userInfo().find(ns::kUnderlyingErrorKey);
  std::printf("failed %s %lld %s\n", error.domain().c_str(), static_cast<long long>(error.code()),
              underlying ? underlying->description().c_str() : "-");
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) return 2;
  std::string mode = argv[1];
  if (mode == "open-without-immutable-capability" && !dropImmutableCapability()) return 6;
  ns::Device::boot(argv[2]);
  std::string path = MSRApplicationSupportFilePath(argv[3]);
  if (mode == "kill") return killInTransaction(path);
  if (mode == "open-without-immutable-capability") {
    int status = openWithoutCapability(path);
    // The failure was logged: the monitor's queue ends before statics do.
    dispatch::shutdown();
    return status;
  }
  return 2;
}
