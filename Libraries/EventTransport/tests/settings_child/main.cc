// One launch of a program with the sessions library, for the test of its
// settings cache across launches: boots the device (argv[1]) and runs one
// command:
//   write   stores downloaded settings and their cache key, as a download
//           that succeeded does
//   read    only reads
// then prints what the cache holds: "content <the settings, as the
// dictionary prints>" and "key <created at> <app ID> <app version>", or
// "key none".
#include <cstdio>
#include <string>

#include "Libraries/EventTransport/Sessions/SettingsCache.h"
#include "Platform/Foundation/Device.h"

int main(int argc, char** argv) {
  if (argc != 3) return 2;
  ns::Device::boot(argv[1]);
  std::string command = argv[2];
  SettingsCache cache;
  if (command == "write") {
    cache.setCacheContent(ns::Dictionary{
        {"app_quality", ns::Value(ns::Dictionary{{"sessions_enabled", ns::Value(true)},
                                                  {"sampling_rate", ns::Value(0.5)},
                                                  {"session_timeout_seconds", ns::Value(int64_t{900})}})},
        {"cache_duration", ns::Value(int64_t{3600})}});
    cache.setCacheKey(CacheKey{ns::Date(800000000.0), "1:123:ios:abc", "1.7 (7)"});
  } else if (command != "read") {
    return 3;
  }
  std::string content = ns::Value(cache.cacheContent()).description();
  for (char& c : content) {
    if (c == '\n') c = ' ';
  }
  std::printf("content %s\n", content.c_str());
  if (auto key = cache.cacheKey()) {
    std::printf("key %.0f %s %s\n", key->createdAt.timeIntervalSinceReferenceDate(), key->zororiAppID.c_str(),
                key->appVersion.c_str());
  } else {
    std::printf("key none\n");
  }
  return 0;
}
