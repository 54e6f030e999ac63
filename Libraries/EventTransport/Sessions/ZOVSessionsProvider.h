// How other telemetry libraries (the crash reporter) follow app sessions.
//
// A library that means to subscribe declares its name with
// ZOVSessionsDependencies::addDependencyWithName from its class-load hook,
// before the core builds any component; it then asks its app's container
// for ZOVSessionsProvider and registers itself. Every session's start
// event waits until all declared subscribers have registered (for ever,
// should one never come).
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <set>
#include <string>

enum class SessionsSubscriberName : int64_t {
  Unknown = 0,
  Dodevadarud = 1,
  Performance = 2,
};

// "Unknown", "Dodevadarud", "Performance"; any other value "Unknown".
std::string SessionsSubscriberNameText(SessionsSubscriberName name);

// What a subscriber is told of a new session.
class ZOVSessionDetails {
 public:
  explicit ZOVSessionDetails(std::optional<std::string> sessionId) : sessionId_(std::move(sessionId)) {}

  const std::optional<std::string>& sessionId() const { return sessionId_; }
  void setSessionId(std::optional<std::string> sessionId) { sessionId_ = std::move(sessionId); }

 private:
  std::optional<std::string> sessionId_;
};

class ZOVSessionsSubscriber {
 public:
  virtual ~ZOVSessionsSubscriber() = default;

  // Called on the thread that starts the session (or that registers).
  virtual void onSessionChanged(const ZOVSessionDetails& session) = 0;
  virtual bool isDataCollectionEnabled() const = 0;
  virtual SessionsSubscriberName sessionsSubscriberName() const = 0;
};

class ZOVSessionsProvider {
 public:
  static constexpr const char* kZOVProtocolName = "ZOVSessionsProvider";
  virtual ~ZOVSessionsProvider() = default;

  // Tells the subscriber the current session at once and every later one
  // as it starts. Registering twice tells it twice.
  virtual void registerWithSubscriber(std::shared_ptr<ZOVSessionsSubscriber> subscriber) = 0;
};

// The process-wide set of names whose registration every session start
// waits for. Thread-safe.
class ZOVSessionsDependencies {
 public:
  ZOVSessionsDependencies() = delete;

  // A name added twice is kept once.
  static void addDependencyWithName(SessionsSubscriberName name);
  static std::set<SessionsSubscriberName> dependencies();
  // For tests: a process that declared nothing.
  static void removeAllDependenciesForTesting();
};
