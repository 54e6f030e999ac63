// The engine side of one task: starts its exchanges, follows or stops at
// redirects, gathers the body where the task wants it (memory, the
// delegate, a temporary file) and delivers the end exactly once on the
// session's delegate queue. Engine thread only, except where noted.
#pragma once

#include <cstdio>
#include <memory>
#include <optional>
#include <string>

#include "Platform/Network/URLSessionTask.h"
#include "Platform/Network/detail/Exchange.h"

namespace net::detail {

class TaskRun : public ExchangeListener {
 public:
  enum class Kind { Data, Download };

  TaskRun(URLSessionTask& task, std::shared_ptr<URLSession> session, Kind kind, RequestBody uploadBody,
          DataTaskCompletion dataCompletion, DownloadTaskCompletion downloadCompletion);

  const std::shared_ptr<URLSession>& session() const { return session_; }
  bool hasEnded() const { return ended_; }  // engine thread

  void begin(std::shared_ptr<URLSessionTask> task);
  void cancel();
  // The delegate's answers, for the exchange `serial` (a late answer to an
  // earlier exchange is dropped).
  void answerTrust(uint64_t serial, TrustQuestion::Answer answer);
  void answerRedirect(uint64_t serial, std::optional<URLRequest> next);

  // ExchangeListener
  void exchangeReceivedResponse(const HTTPURLResponse& response) override;
  int64_t exchangeReceivedData(const char* bytes, size_t length) override;
  void exchangeNeedsTrustAnswer(const TrustQuestion& question) override;
  void exchangeFinished(std::optional<ns::Error> error) override;

 private:
  void startExchange(const URLRequest& request);
  int64_t keep(const char* bytes, size_t length);
  int64_t openDownloadFile();
  void redirectOrEnd();
  void endWithHeldBody();
  void end(std::optional<ns::Error> error);
  void deliverEnd(std::optional<ns::Error> error);

  URLSessionTask& task_;
  std::shared_ptr<URLSessionTask> running_;  // the task keeps itself alive while it runs
  const std::shared_ptr<URLSession> session_;
  const Kind kind_;
  const RequestBody uploadBody_;
  DataTaskCompletion dataCompletion_;
  DownloadTaskCompletion downloadCompletion_;

  Exchange* exchange_ = nullptr;  // the one in flight
  uint64_t exchangeSerial_ = 0;
  std::optional<HTTPURLResponse> response_;
  bool sendsUploadBody_ = true;
  int redirects_ = 0;
  bool redirecting_ = false;      // the current response may lead on
  ns::Data held_;                 // a redirect's body until it is decided
  ns::Data data_;                 // the body for a data completion handler
  FILE* downloadFile_ = nullptr;
  std::string downloadPath_;
  Clock::time_point resourceDeadline_;
  bool ended_ = false;
};

}  // namespace net::detail
