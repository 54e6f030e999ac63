#include "Platform/LocalAuthentication/BiometricPrompt.h"

#include <memory>
#include <mutex>

#include "Platform/Dispatch/Queue.h"

namespace la {

namespace {

struct Showing {
  BiometricPrompt::Shown prompt;
  Context::Reply reply;
};

std::mutex& mutex() {
  static std::mutex m;
  return m;
}

std::optional<Showing>& current() {
  static std::optional<Showing> showing;
  return showing;
}

const std::shared_ptr<dispatch::Queue>& replyQueue() {
  static const auto queue = dispatch::Queue::serial("LocalAuthentication.reply");
  return queue;
}

std::string failureText(ErrorCode code) {
  switch (code) {
    case kErrorAuthenticationFailed: return "Authentication was not successful.";
    case kErrorUserCancel: return "Canceled by user.";
    case kErrorUserFallback: return "Fallback authentication mechanism selected.";
    case kErrorSystemCancel: return "Canceled by another authentication.";
    case kErrorBiometryLockout: return "Biometry is locked out.";
    default: return "Authentication failed.";
  }
}

}  // namespace

std::optional<BiometricPrompt::Shown> BiometricPrompt::shown() {
  std::lock_guard lock(mutex());
  if (!current()) return std::nullopt;
  return current()->prompt;
}

void BiometricPrompt::replyOnSystemQueue(std::function<void()> reply) {
  // A sync block may run on the calling thread; the reply must not, so it
  // goes async and the empty sync behind it waits for it.
  replyQueue()->async(std::move(reply));
  replyQueue()->sync([] {});
}

void BiometricPrompt::show(Shown prompt, Context::Reply reply) {
  std::optional<Showing> ended;
  {
    std::lock_guard lock(mutex());
    ended = std::move(current());
    current() = Showing{std::move(prompt), std::move(reply)};
  }
  if (ended) {
    ns::Error cancelled = ns::Error::withDescription(kErrorDomain, kErrorSystemCancel, failureText(kErrorSystemCancel));
    replyOnSystemQueue([reply = std::move(ended->reply), cancelled] { reply(false, cancelled); });
  }
}

bool BiometricPrompt::answer(std::optional<ErrorCode> failure) {
  std::optional<Showing> answered;
  {
    std::lock_guard lock(mutex());
    answered = std::move(current());
    current().reset();
  }
  if (!answered) return false;
  if (!failure) {
    replyOnSystemQueue([reply = std::move(answered->reply)] { reply(true, std::nullopt); });
  } else {
    ns::Error error = ns::Error::withDescription(kErrorDomain, *failure, failureText(*failure));
    replyOnSystemQueue([reply = std::move(answered->reply), error] { reply(false, error); });
  }
  return true;
}

void BiometricPrompt::reset() {
  std::optional<Showing> dropped;  // released outside the lock
  std::lock_guard lock(mutex());
  dropped = std::move(current());
  current().reset();
}

std::string BiometricPrompt::name(BiometryType type) {
  switch (type) {
    case BiometryType::TouchID: return "Touch ID";
    case BiometryType::FaceID: return "Face ID";
    case BiometryType::None: break;
  }
  return "";
}

}  // namespace la
