// The crash reporter's own HTTP client: data and download tasks on a URL
// session of its own, repeated with jitter and "Retry-After" when the
// response or the transport error says a repeat may succeed.
#pragma once

#include <functional>
#include <memory>
#include <optional>

#include "Platform/Foundation/Executor.h"
#include "Platform/Network/URLSession.h"

class DVCRNetworkClient : public std::enable_shared_from_this<DVCRNetworkClient> {
 public:
  using DataCompletion = net::DataTaskCompletion;
  // The file is removed once the handler returns: move it away inside it.
  using DownloadCompletion = net::DownloadTaskCompletion;

  static constexpr unsigned kDefaultRetryLimit = 10;

  // `queue` null: the session makes a serial queue of its own for the
  // handlers.
  static std::shared_ptr<DVCRNetworkClient> create(std::shared_ptr<ns::Executor> queue = nullptr);
  // Lets running tasks finish, then the session goes.
  ~DVCRNetworkClient();
  DVCRNetworkClient(const DVCRNetworkClient&) = delete;
  DVCRNetworkClient& operator=(const DVCRNetworkClient&) = delete;

  // A limit of 1 allows one repeat (two attempts); 0 gives up at the first
  // retryable failure with error -6.
  void startDataTaskWithRequest(const net::URLRequest& request, unsigned retryLimit, unsigned tries,
                                DataCompletion completion);
  void startDataTaskWithRequest(const net::URLRequest& request, DataCompletion completion) {
    startDataTaskWithRequest(request, kDefaultRetryLimit, 0, std::move(completion));
  }
  void startDownloadTaskWithRequest(const net::URLRequest& request, unsigned retryLimit, unsigned tries,
                                    DownloadCompletion completion);
  void startDownloadTaskWithRequest(const net::URLRequest& request, DownloadCompletion completion) {
    startDownloadTaskWithRequest(request, kDefaultRetryLimit, 0, std::move(completion));
  }

  // Cancels the running tasks and ends the session.
  void invalidateAndCancel();

  // Uniform on [min, max) from the process's 48-bit generator.
  static double randomDoubleWithMin(double min, double max);
  // Between 0.9 and 1.1 (their single-precision values).
  static double generateRandomJitter();
  // jitter × max(retry value, 2) ^ max(tries, 1) seconds.
  static double computeDelayForResponse(const std::optional<net::HTTPURLResponse>& response, unsigned tries);

 private:
  explicit DVCRNetworkClient(std::shared_ptr<net::URLSession> session) : session_(std::move(session)) {}
  // Runs `block` on the global default queue after the delay the response asks.
  template <class Payload>
  using Completion = std::function<void(std::optional<Payload>, std::optional<net::HTTPURLResponse>,
                                        std::optional<ns::Error>)>;
  // One attempt of a data or download task, and the repeat it may call for.
  template <class Payload, class MakeTask, class Restart>
  void startTask(const MakeTask& makeTask, Restart restart, const net::URLRequest& request, unsigned retryLimit,
                 unsigned tries, Completion<Payload> completion);
  static void runAfterRetryValueFromResponse(const std::optional<net::HTTPURLResponse>& response, unsigned attempts,
                                             std::function<void()> block);

  std::shared_ptr<net::URLSession> session_;
};
