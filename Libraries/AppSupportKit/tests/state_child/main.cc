// One launch of a program with the kit, for the tests of what the kit keeps
// between launches: boots the device (argv[1]), takes the main bundle
// (argv[2]) and runs one command:
//   write URL  fetches the configuration from URL (cached on the device),
//              draws the install's slot and counts, stamps and marks the
//              rating scheduler's state; then prints the state as "read" does
//   read       prints what it finds without fetching, one "name value" line
//              each: the slot, the cached "app"/"maxBackups", whether a
//              last fetch is stored, and the rating scheduler's values
#include <cstdio>
#include <string>

#include "Libraries/AppSupportKit/QBRate.h"
#include "Libraries/AppSupportKit/TXConfig.h"
#include "Platform/Dispatch/RunLoop.h"
#include "Platform/Foundation/Bundle.h"
#include "Platform/Foundation/Device.h"
#include "Platform/Foundation/UserDefaults.h"

namespace {

void say(const std::string& name, const std::string& value) {
  std::printf("%s %s\n", name.c_str(), value.c_str());
  std::fflush(stdout);
}

std::string seconds(const std::optional<ns::Date>& date) {
  return date ? std::to_string(static_cast<long long>(date->timeIntervalSince1970())) : "none";
}

void print() {
  TXConfig& config = TXConfig::sharedInstance();
  QBRate& rate = QBRate::sharedInstance();
  say("slot", std::to_string(config.groupSlot()));
  say("maxBackups", std::to_string(config.integerForGroup("app", "maxBackups", -1)));
  say("lastFetch", config.lastFetchTime() ? "stored" : "none");
  say("firstUsed", seconds(rate.firstUsed()));
  say("lastReminded", seconds(rate.lastReminded()));
  say("uses", std::to_string(rate.usesCount()));
  say("events", std::to_string(rate.eventCount()));
  say("declinedAny", rate.declinedAnyVersion() ? "yes" : "no");
  say("ratedAny", rate.ratedAnyVersion() ? "yes" : "no");
  say("lastVersion",
      ns::UserDefaults::standardUserDefaults()->stringForKey(QBRate::kLastVersionUsedKey).value_or("none"));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) return 2;
  ns::Device::boot(argv[1]);
  ns::Bundle::setMainBundlePath(argv[2]);
  std::string command = argv[3];
  if (command == "write" && argc == 5) {
    TXConfig& config = TXConfig::sharedInstance();
    config.setRemoteURL(ns::URL::withString(argv[4]));
    bool fetched = false;
    config.fetchConfigFromServer([&] { fetched = true; });
    if (!dispatch::RunLoop::main().runUntil([&] { return fetched; }, 120)) return 3;
    QBRate& rate = QBRate::sharedInstance();
    rate.applicationLaunched();
    rate.setUsesCount(5);
    rate.setEventCount(2);
    rate.setLastReminded(ns::Date::now());
    rate.setDeclinedThisVersion(true);
    rate.setRatedThisVersion(true);
    print();
    return 0;
  }
  if (command == "read") {
    print();
    return 0;
  }
  return 4;
}
