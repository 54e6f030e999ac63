#include "Libraries/EventTransport/Sessions/SessionGenerator.h"

#include <algorithm>
#include <limits>

#include "Platform/Foundation/StringCase.h"
#include "Platform/Foundation/Uuid.h"

namespace {

std::string newSessionID() {
  std::string text = ns::Uuid::random().uuidString();
  text.erase(std::remove(text.begin(), text.end(), '-'), text.end());
  return ns::lowercaseString(text);
}

}  // namespace

SessionGenerator::SessionGenerator(bool collectEvents) : collectEvents_(collectEvents) {}

SessionInfo SessionGenerator::nextSession() {
  std::string sessionId = newSessionID();
  std::lock_guard lock(mutex_);
  if (firstSessionId_.empty()) firstSessionId_ = sessionId;
  if (sessionIndex_ < std::numeric_limits<int32_t>::max()) ++sessionIndex_;
  thisSession_ = SessionInfo{sessionId, firstSessionId_, collectEvents_, sessionIndex_};
  return *thisSession_;
}

std::optional<SessionInfo> SessionGenerator::currentSession() const {
  std::lock_guard lock(mutex_);
  return thisSession_;
}
