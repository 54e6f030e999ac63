#include "Platform/Network/detail/TaskRun.h"

#include <stdlib.h>
#include <unistd.h>

#include <filesystem>

#include "Platform/Foundation/Device.h"
#include "Platform/Network/URLError.h"
#include "Platform/Network/URLSession.h"
#include "Platform/Network/detail/Engine.h"
#include "Platform/Network/detail/SessionState.h"

namespace net::detail {
namespace {

constexpr int kMaximumRedirects = 16;

bool isRedirectStatus(int status) {
  return status == 300 || status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

// The request the platform sends after a redirect of `status` to `target`.
URLRequest redirectedRequest(const URLRequest& current, int status, const ns::URL& target) {
  URLRequest next = current;
  next.setURL(target);
  const std::string& method = current.httpMethod();
  bool becomesGET = (status == 303 && method != "GET" && method != "HEAD") ||
                    ((status == 301 || status == 302) && method == "POST");
  if (becomesGET) {
    next.setHTTPMethod("GET");
    next.setHTTPBody(std::nullopt);
    next.setValue(std::nullopt, "Content-Type");
    next.setValue(std::nullopt, "Content-Length");
  }
  return next;
}

std::string downloadDirectory() {
  if (ns::Device::isBooted()) return ns::Device::current().temporaryDirectory();
  return std::filesystem::temp_directory_path().string();
}

TrustQuestion::Answer answerFor(URLSessionAuthChallengeDisposition disposition,
                                const std::optional<URLCredential>& credential, const ServerTrust& trust) {
  switch (disposition) {
    case URLSessionAuthChallengeDisposition::UseCredential:
      if (credential && credential->trust) return TrustQuestion::Answer::Accept;
      break;
    case URLSessionAuthChallengeDisposition::CancelAuthenticationChallenge:
      return TrustQuestion::Answer::Cancel;
    case URLSessionAuthChallengeDisposition::PerformDefaultHandling:
    case URLSessionAuthChallengeDisposition::RejectProtectionSpace:
      break;
  }
  return trust.evaluate() ? TrustQuestion::Answer::Accept : TrustQuestion::Answer::Reject;
}

}  // namespace

TaskRun::TaskRun(URLSessionTask& task, std::shared_ptr<URLSession> session, Kind kind, RequestBody uploadBody,
                 DataTaskCompletion dataCompletion, DownloadTaskCompletion downloadCompletion)
    : task_(task),
      session_(std::move(session)),
      kind_(kind),
      uploadBody_(std::move(uploadBody)),
      dataCompletion_(std::move(dataCompletion)),
      downloadCompletion_(std::move(downloadCompletion)) {}

void TaskRun::begin(std::shared_ptr<URLSessionTask> task) {
  if (ended_) return;
  running_ = std::move(task);
  auto resource = std::chrono::duration<double>(session_->configuration().timeoutIntervalForResource());
  resourceDeadline_ = Clock::now() + std::chrono::duration_cast<Clock::duration>(resource);
  startExchange(task_.currentRequest());
}

void TaskRun::startExchange(const URLRequest& request) {
  ++exchangeSerial_;
  // Refused before the session's share or a handle is made, so that a
  // request that cannot go out does not need libcurl.
  if (auto refused = Exchange::refusal(request)) {
    end(*refused);
    return;
  }
  SessionState& state = session_->state();
  ExchangeSettings settings;
  settings.additionalHeaders = state.configuration.HTTPAdditionalHeaders();
  settings.userAgent = state.userAgent;
  settings.idleTimeout = state.configuration.timeoutIntervalForRequest();
  settings.resourceDeadline = resourceDeadline_;
  settings.share = state.engineShare();
  settings.keepsCookies = state.configuration.keepsCookies();
  settings.asksForTrust = state.madeWithDelegate;

  // An upload task sends its own body (until a redirect turns it into a
  // GET); other requests send their own.
  RequestBody body;
  if (!uploadBody_.empty() && sendsUploadBody_) {
    body = uploadBody_;
  } else {
    body.data = request.sharedHTTPBody();
  }

  Engine& engine = Engine::shared();
  CURL* handle = engine.takeHandle();
  ns::Error error;
  std::shared_ptr<Exchange> exchange = Exchange::make(handle, *this, request, std::move(body), settings, &error);
  if (!exchange) {
    engine.recycle(handle);
    end(error);
    return;
  }
  exchange_ = exchange.get();
  engine.start(std::move(exchange));
}

void TaskRun::cancel() {
  if (ended_) return;
  if (exchange_) {
    Engine::shared().fail(*exchange_, kURLErrorCancelled);  // ends through exchangeFinished
    return;
  }
  end(makeURLError(kURLErrorCancelled, task_.currentRequest().url()));
}

void TaskRun::exchangeReceivedResponse(const HTTPURLResponse& response) {
  response_ = response;
  {
    std::lock_guard lock(task_.mutex_);
    task_.response_ = response;
  }
  redirecting_ = isRedirectStatus(response.statusCode()) && response.valueForHTTPHeaderField("Location");
  held_.clear();
}

int64_t TaskRun::exchangeReceivedData(const char* bytes, size_t length) {
  if (redirecting_) {
    held_.insert(held_.end(), bytes, bytes + length);
    return 0;
  }
  return keep(bytes, length);
}

int64_t TaskRun::keep(const char* bytes, size_t length) {
  if (kind_ == Kind::Download) {
    if (!downloadFile_) {
      if (int64_t code = openDownloadFile()) return code;
    }
    if (length && fwrite(bytes, 1, length, downloadFile_) != length) return kURLErrorCannotWriteToFile;
    return 0;
  }
  if (dataCompletion_) {
    data_.insert(data_.end(), bytes, bytes + length);
    return 0;
  }
  if (length == 0) return 0;
  session_->state().deliver([task = running_, session = session_, chunk = ns::Data(bytes, bytes + length)] {
    if (auto delegate = session->delegate()) {
      delegate->didReceiveData(*session, static_cast<URLSessionDataTask&>(*task), chunk);
    }
  });
  return 0;
}

int64_t TaskRun::openDownloadFile() {
  std::string pattern = downloadDirectory() + "/Download-XXXXXX.tmp";
  int fd = mkstemps(pattern.data(), 4);
  if (fd < 0) return kURLErrorCannotCreateFile;
  downloadFile_ = fdopen(fd, "wb");
  if (!downloadFile_) {
    ::close(fd);
    ::unlink(pattern.c_str());
    return kURLErrorCannotCreateFile;
  }
  downloadPath_ = pattern;
  return 0;
}

void TaskRun::exchangeNeedsTrustAnswer(const TrustQuestion& question) {
  URLAuthenticationChallenge challenge;
  challenge.protectionSpace.host = question.trust->host();
  challenge.protectionSpace.port = question.port;
  challenge.protectionSpace.serverTrust = question.trust;
  uint64_t serial = exchangeSerial_;
  session_->state().deliver([task = running_, session = session_, challenge, serial] {
    auto answer = [task, serial, trust = challenge.protectionSpace.serverTrust](
                      URLSessionAuthChallengeDisposition disposition, std::optional<URLCredential> credential) {
      TrustQuestion::Answer decided = answerFor(disposition, credential, *trust);
      Engine::shared().post([task, serial, decided] { task->run_->answerTrust(serial, decided); });
    };
    std::shared_ptr<URLSessionDelegate> delegate = session->delegate();
    if (!delegate) {
      answer(URLSessionAuthChallengeDisposition::PerformDefaultHandling, std::nullopt);
      return;
    }
    delegate->didReceiveChallenge(*session, *task, challenge, answer);
  });
}

void TaskRun::answerTrust(uint64_t serial, TrustQuestion::Answer answer) {
  if (ended_ || serial != exchangeSerial_ || !exchange_) return;
  exchange_->answerTrust(answer);
}

void TaskRun::exchangeFinished(std::optional<ns::Error> error) {
  std::shared_ptr<URLSessionTask> keepAlive = running_;
  exchange_ = nullptr;
  if (ended_) return;
  if (error) {
    end(std::move(error));
  } else if (redirecting_) {
    redirectOrEnd();
  } else {
    end(std::nullopt);
  }
}

void TaskRun::redirectOrEnd() {
  URLRequest current = task_.currentRequest();
  std::optional<ns::URL> target =
      ns::URL::withString(response_->valueForHTTPHeaderField("Location").value_or(""), current.url());
  if (!target || (target->scheme() != "http" && target->scheme() != "https")) {
    endWithHeldBody();  // not followed: the redirect response is the answer
    return;
  }
  if (redirects_ >= kMaximumRedirects) {
    end(makeURLError(kURLErrorHTTPTooManyRedirects, current.url()));
    return;
  }
  URLRequest proposed = redirectedRequest(current, response_->statusCode(), *target);
  if (!session_->state().madeWithDelegate) {
    answerRedirect(exchangeSerial_, std::move(proposed));
    return;
  }
  uint64_t serial = exchangeSerial_;
  session_->state().deliver([task = running_, session = session_, response = *response_, proposed, serial] {
    auto answer = [task, serial](std::optional<URLRequest> next) {
      Engine::shared().post([task, serial, next = std::move(next)] { task->run_->answerRedirect(serial, next); });
    };
    std::shared_ptr<URLSessionDelegate> delegate = session->delegate();
    if (!delegate) {
      answer(proposed);
      return;
    }
    delegate->willPerformHTTPRedirection(*session, *task, response, proposed, answer);
  });
}

void TaskRun::answerRedirect(uint64_t serial, std::optional<URLRequest> next) {
  if (ended_ || serial != exchangeSerial_ || exchange_) return;
  if (!next) {
    endWithHeldBody();
    return;
  }
  int status = response_->statusCode();
  const std::string& method = task_.currentRequest().httpMethod();
  sendsUploadBody_ = sendsUploadBody_ && (status == 307 || status == 308) && next->httpMethod() == method;
  ++redirects_;
  response_.reset();  // the redirect's answer is behind us; the next one counts
  {
    std::lock_guard lock(task_.mutex_);
    task_.current_ = *next;
    task_.response_.reset();
  }
  redirecting_ = false;
  held_.clear();
  startExchange(*next);
}

void TaskRun::endWithHeldBody() {
  redirecting_ = false;
  ns::Data held = std::move(held_);
  held_.clear();
  if (int64_t code = keep(reinterpret_cast<const char*>(held.data()), held.size())) {
    end(makeURLError(code, task_.currentRequest().url()));
    return;
  }
  end(std::nullopt);
}

void TaskRun::end(std::optional<ns::Error> error) {
  if (ended_) return;
  ended_ = true;
  if (kind_ == Kind::Download && !error) {
    int64_t code = downloadFile_ ? 0 : openDownloadFile();  // an empty body is an empty file
    if (code == 0 && fclose(downloadFile_) != 0) code = kURLErrorCannotWriteToFile;
    downloadFile_ = nullptr;
    if (code) error = makeURLError(code, task_.currentRequest().url());
  }
  if (downloadFile_) fclose(downloadFile_);
  downloadFile_ = nullptr;
  if (error && !downloadPath_.empty()) {
    ::unlink(downloadPath_.c_str());
    downloadPath_.clear();
  }
  {
    std::lock_guard lock(task_.mutex_);
    task_.state_ = URLSessionTask::State::Completed;
    task_.error_ = error;
  }
  deliverEnd(std::move(error));
  running_.reset();
}

void TaskRun::deliverEnd(std::optional<ns::Error> error) {
  std::shared_ptr<URLSessionTask> task = task_.shared_from_this();
  session_->state().deliver([task, session = session_, kind = kind_, error = std::move(error),
                             response = response_, data = std::move(data_), path = downloadPath_,
                             dataCompletion = std::move(dataCompletion_),
                             downloadCompletion = std::move(downloadCompletion_)]() mutable {
    std::shared_ptr<URLSessionDelegate> delegate = session->delegate();
    if (kind == Kind::Data) {
      if (dataCompletion) {
        std::optional<ns::Data> body;
        if (!error) body = std::move(data);
        dataCompletion(std::move(body), std::move(response), error);
      } else if (delegate) {
        delegate->didCompleteWithError(*session, *task, error);
      }
    } else {
      std::optional<ns::URL> location;
      if (!path.empty()) location = ns::URL::fileURLWithPath(path, false);
      if (downloadCompletion) {
        downloadCompletion(location, std::move(response), error);
      } else if (delegate) {
        if (location) {
          delegate->didFinishDownloadingToURL(*session, static_cast<URLSessionDownloadTask&>(*task), *location);
        }
        if (!path.empty()) ::unlink(path.c_str());
        path.clear();
        delegate->didCompleteWithError(*session, *task, error);
      }
      if (!path.empty()) ::unlink(path.c_str());
    }
    dataCompletion = nullptr;  // let go of what the handlers hold
    downloadCompletion = nullptr;
    session->state().taskEnded(session);
  });
}

}  // namespace net::detail
