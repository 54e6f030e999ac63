// The measurement worker queue's scheduler. Today only the thread check;
// the worker queue and its blocks come with the engine's own work.
#pragma once

#include <string>

class MSRScheduler {
 public:
  // Whether the caller runs off the main thread. On the main thread it logs
  // (level 1, code 30001) "Method <name> should execute on background
  // thread" ("<empty method name>" for an empty name) and answers false; the
  // caller goes on either way.
  static bool checkOnBackgroundThreadWithMethodName(const std::string& methodName);
};
