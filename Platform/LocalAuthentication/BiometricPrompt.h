// The system's biometric prompt: at most one at a time, put up by
// Context::evaluatePolicy and answered by the person (the host program's
// `biometry` command, or a test). A new prompt ends the one still showing
// with kErrorSystemCancel, as the system does when it asks again.
//
// Replies run on the system's serial reply queue; answer() returns once the
// reply has run there, so whatever it queued on the main queue is waiting
// for the main run loop.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "Platform/LocalAuthentication/Context.h"
#include "Platform/LocalAuthentication/Error.h"

namespace la {

class BiometricPrompt {
 public:
  struct Shown {
    BiometryType type;
    std::string reason;
  };
  // The prompt showing now, if any.
  static std::optional<Shown> shown();

  // The person answers: nullopt is a match, else the error code that ends
  // the evaluation (kErrorAuthenticationFailed, kErrorUserCancel, ...).
  // False when no prompt is showing.
  static bool answer(std::optional<ErrorCode> failure);

  // Takes the prompt down without a reply (a new device in tests).
  static void reset();

  // "Face ID", "Touch ID", or "" for none.
  static std::string name(BiometryType type);

  // For Context: shows a prompt whose answer goes to `reply`.
  static void show(Shown prompt, Context::Reply reply);
  // For Context: runs `reply` on the system's reply queue and waits for it.
  static void replyOnSystemQueue(std::function<void()> reply);
};

}  // namespace la
