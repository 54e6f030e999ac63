// The installations error domain: each constructor's code, reason and
// underlying error, and the HTTP error's response and body.
#include <gtest/gtest.h>

#include <vector>

#include "Libraries/TelemetryCore/ZEVUdederozedaruErrors.h"
#include "Platform/Network/URLError.h"

namespace {

using Util = ZEVUdederozedaruErrorUtil;

std::string failureReason(const ns::Error& error) {
  const ns::Value* reason = error.userInfo().find(ns::kLocalizedFailureReasonErrorKey);
  return reason ? reason->stringValue() : "";
}

const ns::Error kUnderlying = ns::Error::withDescription("test.domain", 42, "the disk is on fire");

TEST(InstallationsErrorTest, EachConstructorHasItsCodeReasonAndUnderlyingError) {
  struct Case {
    const char* what;
    ns::Error error;
    int64_t code;
    std::string reason;
    std::optional<ns::Error> underlying;
  };
  const std::vector<Case> cases = {
      {"archiver exception", Util::keyedArchiverErrorWithException(ns::Exception("NSInvalidArchiveOperationException",
                                                                                 "bad", {{"k", ns::Value("v")}})),
       0, "NSKeyedArchiver exception with name: NSInvalidArchiveOperationException, reason: bad, userInfo: " +
              ns::Value(ns::Dictionary{{"k", ns::Value("v")}}).description(),
       std::nullopt},
      {"archiver error", Util::keyedArchiverErrorWithError(kUnderlying), 0, "NSKeyedArchiver error.", kUnderlying},
      {"keychain", Util::keychainErrorWithFunction("SecItemAdd", -25299), 1, "SecItemAdd (-25299)", std::nullopt},
      {"not found", Util::installationItemNotFoundForAppID("1:123:ios:abc", "app"), 0,
       "Installation for appID 1:123:ios:abc appName app not found", std::nullopt},
      {"corrupted IID token", Util::corruptedIIDTokenData(), 0,
       "IID token data stored in Keychain is corrupted or in an incompatible format.", std::nullopt},
      {"JSON", Util::JSONSerializationError(kUnderlying), 0, "Failed to serialize JSON data.", std::nullopt},
      {"missing field", Util::FIDRegistrationErrorWithResponseMissingField("refreshToken"), 0,
       "A required response field with name refreshToken is missing", std::nullopt},
      {"network", Util::networkErrorWithError(kUnderlying), 2, "Network connection error.", kUnderlying},
      {"back-off", Util::backoffIntervalWaitError(), 2, "Too many server requests.", std::nullopt},
      {"public domain", Util::publicDomainErrorWithError(kUnderlying), 0, "Underlying error: the disk is on fire",
       kUnderlying},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.error.domain(), "com.dozaveve.installations") << c.what;
    EXPECT_EQ(c.error.code(), c.code) << c.what;
    EXPECT_EQ(failureReason(c.error), c.reason) << c.what;
    EXPECT_EQ(Util::underlyingError(c.error), c.underlying) << c.what;
  }

  const ns::Error installations = Util::networkErrorWithError(kUnderlying);
  EXPECT_EQ(Util::publicDomainErrorWithError(installations), installations) << "returned unchanged";
}

TEST(InstallationsErrorTest, AnHTTPErrorCarriesItsResponseAndBody) {
  net::HTTPURLResponse response(*ns::URL::withString("https://installations.dozaveve.example/v1/projects/p"), 403,
                                {{"Content-Type", "application/json"}});
  const ns::Data body{'{', '}'};
  const ns::Error error = Util::APIErrorWithHTTPResponse(response, body);
  EXPECT_EQ(error.domain(), "com.dozaveve.installations");
  EXPECT_EQ(error.code(), 0);
  EXPECT_EQ(failureReason(error),
            "The server responded with an error: \n - URL: https://installations.dozaveve.example/v1/projects/p \n - "
            "HTTP status code: 403 \n - Response body: {}");
  EXPECT_EQ(ZEVUdederozedaruHTTPError::HTTPResponse(error), response);
  EXPECT_EQ(ZEVUdederozedaruHTTPError::data(error), body);
  EXPECT_TRUE(Util::isAPIError(error, 403));
  EXPECT_FALSE(Util::isAPIError(error, 500));
  ns::Error copy = error;
  EXPECT_EQ(ZEVUdederozedaruHTTPError::HTTPResponse(copy), response) << "a copy carries both";

  EXPECT_FALSE(ZEVUdederozedaruHTTPError::isHTTPError(Util::backoffIntervalWaitError()));
  ns::Error lookalike(net::kURLErrorDomain, 0, error.userInfo());
  EXPECT_FALSE(Util::isAPIError(lookalike, 403)) << "only the installations domain's";

  auto rejected = Util::rejectedPromiseWithError<int64_t>(error);
  ASSERT_TRUE(rejected.error());
  EXPECT_EQ(rejected.error()->nsError(), error);
}

}  // namespace
