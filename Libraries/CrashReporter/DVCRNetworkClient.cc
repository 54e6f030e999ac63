#include "Libraries/CrashReporter/DVCRNetworkClient.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "Libraries/CrashReporter/DVCRNetworkResponseHandler.h"
#include "Platform/Dispatch/Queue.h"
#include "Platform/Network/URLError.h"

namespace {

ns::Error retryLimitError(unsigned retryLimit, const net::URLRequest& request) {
  return DVCRNetworkResponseHandler::errorForCode(
      DVCRNetworkErrorRetryLimit, ns::Dictionary{{"retryLimit", ns::Value(retryLimit)},
                                                 {net::kURLErrorFailingURLErrorKey,
                                                  ns::Value(request.url().absoluteString())}});
}

}  // namespace

std::shared_ptr<DVCRNetworkClient> DVCRNetworkClient::create(std::shared_ptr<ns::Executor> queue) {
  auto session = net::URLSession::create(net::URLSessionConfiguration::defaultSessionConfiguration(), nullptr,
                                         std::move(queue));
  if (!session) return nullptr;
  return std::shared_ptr<DVCRNetworkClient>(new DVCRNetworkClient(std::move(session)));
}

DVCRNetworkClient::~DVCRNetworkClient() { session_->finishTasksAndInvalidate(); }

void DVCRNetworkClient::invalidateAndCancel() { session_->invalidateAndCancel(); }

double DVCRNetworkClient::randomDoubleWithMin(double min, double max) { return min + (max - min) * ::drand48(); }

double DVCRNetworkClient::generateRandomJitter() {
  return randomDoubleWithMin(static_cast<double>(0.9f), static_cast<double>(1.1f));
}

double DVCRNetworkClient::computeDelayForResponse(const std::optional<net::HTTPURLResponse>& response,
                                                  unsigned tries) {
  double base = std::max(DVCRNetworkResponseHandler::retryValueForResponse(response), 2.0);
  return generateRandomJitter() * std::pow(base, std::max(tries, 1u));
}

void DVCRNetworkClient::runAfterRetryValueFromResponse(const std::optional<net::HTTPURLResponse>& response,
                                                       unsigned attempts, std::function<void()> block) {
  dispatch::Queue::global()->afterSeconds(computeDelayForResponse(response, attempts), std::move(block));
}

void DVCRNetworkClient::startDataTaskWithRequest(const net::URLRequest& request, unsigned retryLimit, unsigned tries,
                                                 DataCompletion completion) {
  startTask<ns::Data>(
      [this](const net::URLRequest& r, DataCompletion c) { return session_->dataTask(r, std::move(c)); },
      [](DVCRNetworkClient& self, const net::URLRequest& r, unsigned limit, unsigned next, DataCompletion c) {
        self.startDataTaskWithRequest(r, limit, next, std::move(c));
      },
      request, retryLimit, tries, std::move(completion));
}

void DVCRNetworkClient::startDownloadTaskWithRequest(const net::URLRequest& request, unsigned retryLimit,
                                                     unsigned tries, DownloadCompletion completion) {
  startTask<ns::URL>(
      [this](const net::URLRequest& r, DownloadCompletion c) { return session_->downloadTask(r, std::move(c)); },
      [](DVCRNetworkClient& self, const net::URLRequest& r, unsigned limit, unsigned next, DownloadCompletion c) {
        self.startDownloadTaskWithRequest(r, limit, next, std::move(c));
      },
      request, retryLimit, tries, std::move(completion));
}

template <class Payload, class MakeTask, class Restart>
void DVCRNetworkClient::startTask(const MakeTask& makeTask, Restart restart, const net::URLRequest& request,
                                  unsigned retryLimit, unsigned tries, Completion<Payload> completion) {
  std::weak_ptr<DVCRNetworkClient> weakSelf = weak_from_this();
  auto finished = [weakSelf, restart, request, retryLimit, tries, completion](
                      std::optional<Payload> payload, std::optional<net::HTTPURLResponse> response,
                      std::optional<ns::Error> error) {
    DVCRNetworkResponseHandler::handleCompletedResponse(
        response, request, error, [&](bool retry, std::optional<ns::Error> outcome) {
          if (!retry) {
            completion(std::move(payload), std::move(response), std::move(outcome));
          } else if (tries >= retryLimit) {
            completion(std::nullopt, std::nullopt, retryLimitError(retryLimit, request));
          } else {
            runAfterRetryValueFromResponse(response, tries, [weakSelf, restart, request, retryLimit, tries, completion] {
              if (auto self = weakSelf.lock()) {
                restart(*self, request, retryLimit, tries + 1, completion);
              } else {
                completion(std::nullopt, std::nullopt, net::makeURLError(net::kURLErrorCancelled, request.url()));
              }
            });
          }
        });
  };
  std::shared_ptr<net::URLSessionTask> task;
  try {
    task = makeTask(request, std::move(finished));
  } catch (const std::exception&) {
    // The session was invalidated (for example before a scheduled repeat).
  }
  if (!task) {
    completion(std::nullopt, std::nullopt,
               DVCRNetworkResponseHandler::errorForCode(DVCRNetworkErrorTaskNotCreated, {}));
    return;
  }
  task->resume();
}
