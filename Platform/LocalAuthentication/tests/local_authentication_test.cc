// The device's sensor decides what can be evaluated; the prompt stays until
// the person answers, and the reply comes on the system's queue.
#include <gtest/gtest.h>

#include <atomic>
#include <optional>
#include <vector>

#include "Platform/Dispatch/MainThread.h"
#include "Platform/Foundation/testing/TemporaryDevice.h"
#include "Platform/LocalAuthentication/BiometricPrompt.h"
#include "Platform/LocalAuthentication/Context.h"

namespace {

using la::BiometricPrompt;
using la::BiometryType;
using la::Policy;

constexpr Policy kBiometrics = Policy::DeviceOwnerAuthenticationWithBiometrics;

ns::DeviceFacts withBiometry(ns::Biometry biometry) {
  ns::DeviceFacts facts;
  facts.biometry = biometry;
  return facts;
}

struct Replies {
  struct Reply {
    bool success;
    std::optional<int64_t> code;
    bool onMainThread;
  };
  std::vector<Reply> got;
  la::Context::Reply record() {
    return [this](bool success, const std::optional<ns::Error>& error) {
      if (error) {
        EXPECT_EQ(error->domain(), la::kErrorDomain);
      }
      got.push_back({success, error ? std::optional<int64_t>(error->code()) : std::nullopt, dispatch::isMainThread()});
    };
  }
};

class LocalAuthenticationTest : public ::testing::Test {
 protected:
  ~LocalAuthenticationTest() override { BiometricPrompt::reset(); }
};

TEST_F(LocalAuthenticationTest, TheDeviceSensorDecidesWhatCanBeEvaluated) {
  const struct {
    ns::Biometry fact;
    BiometryType type;
    bool canEvaluate;
  } cases[] = {
      {ns::Biometry::None, BiometryType::None, false},
      {ns::Biometry::TouchID, BiometryType::TouchID, true},
      {ns::Biometry::FaceID, BiometryType::FaceID, true},
  };
  for (const auto& c : cases) {
    ns::testing::TemporaryDevice device(withBiometry(c.fact));
    la::Context context;
    ns::Error error;
    EXPECT_EQ(context.canEvaluatePolicy(kBiometrics, &error), c.canEvaluate);
    EXPECT_EQ(context.biometryType(), c.type);
    EXPECT_EQ(error.code(), c.canEvaluate ? int64_t(0) : int64_t(la::kErrorBiometryNotAvailable));

    // Without a sensor the evaluation fails at once and shows nothing.
    Replies replies;
    context.evaluatePolicy(kBiometrics, "Unlock", replies.record());
    if (c.canEvaluate) {
      ASSERT_TRUE(BiometricPrompt::shown());
      EXPECT_EQ(BiometricPrompt::shown()->type, c.type);
      EXPECT_EQ(BiometricPrompt::shown()->reason, "Unlock");
      EXPECT_TRUE(replies.got.empty());
      BiometricPrompt::reset();
    } else {
      EXPECT_FALSE(BiometricPrompt::shown());
      ASSERT_EQ(replies.got.size(), 1u);
      EXPECT_EQ(replies.got[0].code, la::kErrorBiometryNotAvailable);
    }
  }
}

TEST_F(LocalAuthenticationTest, ThePersonsAnswerRepliesOnceOffTheMainThread) {
  ns::testing::TemporaryDevice device(withBiometry(ns::Biometry::FaceID));
  const std::optional<la::ErrorCode> answers[] = {std::nullopt, la::kErrorAuthenticationFailed, la::kErrorUserCancel,
                                                  la::kErrorBiometryLockout};
  for (const auto& answer : answers) {
    Replies replies;
    la::Context().evaluatePolicy(kBiometrics, "Unlock", replies.record());
    ASSERT_TRUE(BiometricPrompt::answer(answer));
    ASSERT_EQ(replies.got.size(), 1u);
    EXPECT_EQ(replies.got[0].success, !answer);
    EXPECT_EQ(replies.got[0].code, answer ? std::optional<int64_t>(*answer) : std::nullopt);
    EXPECT_FALSE(replies.got[0].onMainThread);
    EXPECT_FALSE(BiometricPrompt::shown());
    EXPECT_FALSE(BiometricPrompt::answer(std::nullopt)) << "nothing is showing any more";
    EXPECT_EQ(replies.got.size(), 1u);
  }
}

TEST_F(LocalAuthenticationTest, ASecondPromptEndsTheFirstAsCancelledByTheSystem) {
  ns::testing::TemporaryDevice device(withBiometry(ns::Biometry::TouchID));
  Replies first, second;
  la::Context().evaluatePolicy(kBiometrics, "first", first.record());
  la::Context().evaluatePolicy(kBiometrics, "second", second.record());
  ASSERT_EQ(first.got.size(), 1u);
  EXPECT_EQ(first.got[0].code, la::kErrorSystemCancel);
  EXPECT_EQ(BiometricPrompt::shown()->reason, "second");
  ASSERT_TRUE(BiometricPrompt::answer(std::nullopt));
  ASSERT_EQ(second.got.size(), 1u);
  EXPECT_TRUE(second.got[0].success);
  EXPECT_EQ(first.got.size(), 1u);
}

}  // namespace
