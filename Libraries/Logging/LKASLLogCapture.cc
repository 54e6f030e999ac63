#include "Libraries/Logging/LKASLLogCapture.h"

#include <atomic>
#include <cstdlib>
#include <memory>
#include <mutex>

#include "Libraries/Logging/LKLog.h"
#include "Platform/Dispatch/Queue.h"
#include "Platform/Foundation/Clock.h"

namespace {

std::atomic<bool> capturing{false};
std::atomic<uint64_t> level{LKLogLevelVerbose};

using Condition = systemlog::LegacyCondition;

}  // namespace

void LKASLLogCapture::start() {
  if (capturing.exchange(true)) return;
  dispatch::Queue::global()->async([] { captureAslLogs(); });
}

void LKASLLogCapture::stop() { capturing = false; }

uint64_t LKASLLogCapture::captureLevel() { return level; }
void LKASLLogCapture::setCaptureLevel(uint64_t value) { level = value; }

void LKASLLogCapture::configureAslQuery(std::vector<systemlog::LegacyCondition>& query) {
  query.push_back({"Level", Condition::Op::NumericLessOrEqual, "7"});
  query.push_back({"LKLog", Condition::Op::NotEqual, "1"});
}

void LKASLLogCapture::captureAslLogs() {
  struct State {
    std::mutex mutex;  // the handler's own; notifications may overlap on a concurrent queue
    unsigned long long startTime = 0;
    unsigned long long lastSeenID = 0;
    systemlog::LegacyLogStore::ObserverId observer = 0;
  };
  auto state = std::make_shared<State>();
  state->startTime = static_cast<unsigned long long>(ns::Clock::now().timeIntervalSince1970());
  auto& store = systemlog::LegacyLogStore::shared();
  std::lock_guard lock(state->mutex);
  state->observer = store.addObserver(dispatch::Queue::global(dispatch::Priority::High), [state] {
    std::lock_guard lock(state->mutex);
    auto& store = systemlog::LegacyLogStore::shared();
    std::vector<Condition> query;
    if (state->lastSeenID != 0) {
      query.push_back({"ASLMessageID", Condition::Op::NumericGreater, std::to_string(state->lastSeenID)});
    } else {
      query.push_back({"Time", Condition::Op::NumericGreaterOrEqual, std::to_string(state->startTime)});
    }
    configureAslQuery(query);
    for (const auto& message : store.search(query)) {
      aslMessageReceived(message);
      auto id = message.find("ASLMessageID");
      if (id != message.end()) state->lastSeenID = std::strtoull(id->second.c_str(), nullptr, 10);
    }
    if (!capturing) store.removeObserver(state->observer);
  });
}

void LKASLLogCapture::aslMessageReceived(const systemlog::LegacyMessage& message) {
  auto text = message.find("Message");
  if (text == message.end()) return;
  uint64_t flag = LKLogFlagError;
  bool async = false;
  auto levelText = message.find("Level");
  if (levelText != message.end()) {
    long value = std::strtol(levelText->second.c_str(), nullptr, 10);
    if (value >= 3) async = true;
    if (value == 3) {
      flag = LKLogFlagWarning;
    } else if (value == 4) {
      flag = LKLogFlagInfo;
    } else if (value == 5) {
      flag = LKLogFlagDebug;
    } else if (value > 5) {
      flag = LKLogFlagVerbose;
    }
  }
  if (!(captureLevel() & flag)) return;
  double seconds = ns::Clock::now().timeIntervalSince1970();
  auto time = message.find("Time");
  if (time != message.end()) seconds = std::strtod(time->second.c_str(), nullptr);
  auto nanos = message.find("TimeNanoSec");
  if (nanos != message.end()) seconds += std::strtod(nanos->second.c_str(), nullptr) / 1e9;
  LKLog::log(async, LKLogMessage::withMessage(text->second, captureLevel(), flag, 0, kCaptureFileName, std::nullopt, 0,
                                              nullptr, LKLogMessageDontCopyMessage, ns::Date::fromUnixTime(seconds)));
}
