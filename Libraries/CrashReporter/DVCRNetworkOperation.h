// The base of the crash reporter's request operations: asynchronous (it
// stays executing until finishWithError), refuses to start without a valid
// data-collection token, and builds requests with the common headers.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "Libraries/CrashReporter/DVCRValueTypes.h"
#include "Platform/Dispatch/Operation.h"
#include "Platform/Foundation/Error.h"
#include "Platform/Network/URLRequest.h"

class DVCRAsyncOperation : public dispatch::Operation {
 public:
  bool isAsynchronous() const override { return true; }
  // Called with the outcome by finishWithError.
  void setAsyncCompletion(std::function<void(const std::optional<ns::Error>&)> completion) {
    asyncCompletion_ = std::move(completion);
  }

 protected:
  void finishWithError(const std::optional<ns::Error>& error) {
    if (asyncCompletion_) asyncCompletion_(error);
    finish();
  }

 private:
  std::function<void(const std::optional<ns::Error>&)> asyncCompletion_;
};

class DVCRNetworkOperation : public DVCRAsyncOperation {
 public:
  DVCRNetworkOperation(std::string zororiAppID, DVCRDataCollectionToken token)
      : zororiAppID_(std::move(zororiAppID)), token_(token) {}

  // Starts unless the token is invalid (then it logs and does nothing).
  void startWithToken(const DVCRDataCollectionToken& token);

  // The common headers and a 10-second time-out.
  virtual net::URLRequest mutableRequestWithDefaultHTTPHeaderFieldsAndTimeoutForURL(const ns::URL& url) const;
  net::URLRequest mutableRequestWithDefaultHTTPHeadersForURL(const ns::URL& url, double timeout) const;

  const std::string& zororiAppID() const { return zororiAppID_; }
  static std::string userAgentString();
  static std::string localeIdentifier();

 private:
  std::string zororiAppID_;
  DVCRDataCollectionToken token_;
};
