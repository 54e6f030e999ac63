#include "Platform/Network/testing/LoopbackHTTPServer.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <openssl/pem.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <chrono>
#include <deque>
#include <map>
#include <mutex>
#include <stdexcept>
#include <thread>

#include "Platform/Network/HTTPHeaderFields.h"
#include "Platform/Network/testing/HTTPConnection.h"
#include "Platform/Network/testing/TestCertificates.h"

namespace net::testing {

std::string RecordedRequest::path() const { return target.substr(0, target.find('?')); }

std::optional<std::string> RecordedRequest::header(std::string_view name) const {
  for (const auto& [field, value] : headers) {
    if (headerNameEquals(field, name)) return value;
  }
  return std::nullopt;
}

Answer Answer::redirect(int status, std::string location) {
  return Answer{.status = status, .headers = {{"Location", std::move(location)}}};
}

struct LoopbackHTTPServer::State {
  Options options;
  int listenFd = -1;
  int port = 0;
  int stopPipe[2] = {-1, -1};
  SSL_CTX* tls = nullptr;
  std::string authorityPEM;
  std::thread acceptor;

  mutable std::mutex mutex;
  mutable std::condition_variable recorded;
  bool stopped = false;
  std::vector<std::thread> connections;
  std::vector<int> liveFds;
  std::vector<RecordedRequest> requests;
  int connectionCount = 0;

  struct Route {
    std::vector<Answer> answers;
    size_t next = 0;
    Responder responder;
  };
  std::map<std::string, Route> routes;
  std::deque<Answer> queue;
  Responder fallback = [](const RecordedRequest&) { return Answer{.status = 404}; };
  std::function<void(const RecordedRequest&, const Answer&)> observer;

  void acceptLoop();
  Answer respond(const RecordedRequest& request);
};

namespace {

void blockBrokenPipeSignals() {
  sigset_t pipe;
  sigemptyset(&pipe);
  sigaddset(&pipe, SIGPIPE);
  pthread_sigmask(SIG_BLOCK, &pipe, nullptr);
}

SSL_CTX* makeTLSContext(const TestCertificates& certificates) {
  SSL_CTX* context = SSL_CTX_new(TLS_server_method());
  BIO* certificateBio = BIO_new_mem_buf(certificates.serverCertificatePEM.data(),
                                        static_cast<int>(certificates.serverCertificatePEM.size()));
  BIO* keyBio = BIO_new_mem_buf(certificates.serverKeyPEM.data(), static_cast<int>(certificates.serverKeyPEM.size()));
  X509* certificate = PEM_read_bio_X509(certificateBio, nullptr, nullptr, nullptr);
  EVP_PKEY* key = PEM_read_bio_PrivateKey(keyBio, nullptr, nullptr, nullptr);
  bool ok = certificate && key && SSL_CTX_use_certificate(context, certificate) == 1 &&
            SSL_CTX_use_PrivateKey(context, key) == 1;
  X509_free(certificate);
  EVP_PKEY_free(key);
  BIO_free(certificateBio);
  BIO_free(keyBio);
  if (!ok) throw std::runtime_error("loopback server: cannot load its certificate");
  return context;
}

}  // namespace

LoopbackHTTPServer::LoopbackHTTPServer(Options options) : state_(std::make_shared<State>()) {
  State& state = *state_;
  state.options = std::move(options);
  if (state.options.tls) {
    TestCertificates certificates = TestCertificates::make(state.options.names);
    state.authorityPEM = certificates.authorityPEM;
    state.tls = makeTLSContext(certificates);
  }
  if (::pipe(state.stopPipe) != 0) throw std::runtime_error("loopback server: pipe");
  state.listenFd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  int yes = 1;
  ::setsockopt(state.listenFd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);  // never another interface
  address.sin_port = htons(static_cast<uint16_t>(state.options.port));
  socklen_t length = sizeof address;
  if (::bind(state.listenFd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(state.listenFd, 64) != 0 ||
      ::getsockname(state.listenFd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    ::close(state.listenFd);
    throw std::runtime_error("loopback server: cannot listen on 127.0.0.1");
  }
  state.port = ntohs(address.sin_port);
  State* raw = state_.get();
  state.acceptor = std::thread([raw] { raw->acceptLoop(); });
}

LoopbackHTTPServer::~LoopbackHTTPServer() {
  stop();
  ::close(state_->listenFd);
  ::close(state_->stopPipe[0]);
  ::close(state_->stopPipe[1]);
  if (state_->tls) SSL_CTX_free(state_->tls);
}

void LoopbackHTTPServer::stop() {
  State& state = *state_;
  std::vector<std::thread> threads;
  {
    std::lock_guard lock(state.mutex);
    if (state.stopped) return;
    state.stopped = true;
    // Readers blocked on a connection wake up to its end.
    for (int fd : state.liveFds) ::shutdown(fd, SHUT_RDWR);
  }
  char byte = 0;
  (void)!::write(state.stopPipe[1], &byte, 1);  // stays readable: every waiter sees it
  if (state.acceptor.joinable()) state.acceptor.join();
  {
    std::lock_guard lock(state.mutex);
    threads.swap(state.connections);
  }
  for (auto& thread : threads) thread.join();
}

void LoopbackHTTPServer::State::acceptLoop() {
  blockBrokenPipeSignals();
  for (;;) {
    pollfd watched[2] = {{listenFd, POLLIN, 0}, {stopPipe[0], POLLIN, 0}};
    if (::poll(watched, 2, -1) < 0) continue;
    if (watched[1].revents) return;
    int fd = ::accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) continue;
    int noDelay = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &noDelay, sizeof noDelay);
    std::lock_guard lock(mutex);
    if (stopped) {
      ::close(fd);
      return;
    }
    int number = ++connectionCount;
    liveFds.push_back(fd);
    connections.emplace_back([this, fd, number] {
      blockBrokenPipeSignals();
      {
        detail::HTTPConnection connection(fd, tls, stopPipe[0], number);
        connection.serve([this](const RecordedRequest& request) { return respond(request); },
                         [this](const RecordedRequest& request, const Answer& answer) {
                           std::function<void(const RecordedRequest&, const Answer&)> told;
                           {
                             std::lock_guard lock(mutex);
                             told = observer;
                           }
                           if (told) told(request, answer);
                         });
        std::lock_guard lock(mutex);
        liveFds.erase(std::remove(liveFds.begin(), liveFds.end(), fd), liveFds.end());
      }  // closes the connection
    });
  }
}

Answer LoopbackHTTPServer::State::respond(const RecordedRequest& request) {
  Responder responder;
  Answer answer;
  {
    std::lock_guard lock(mutex);
    requests.push_back(request);
    recorded.notify_all();
    auto route = routes.find(request.path());
    if (route != routes.end() && route->second.responder) {
      responder = route->second.responder;
    } else if (route != routes.end()) {
      Route& r = route->second;
      answer = r.answers[std::min(r.next, r.answers.size() - 1)];
      ++r.next;
      return answer;
    } else if (!queue.empty()) {
      answer = std::move(queue.front());
      queue.pop_front();
      return answer;
    } else {
      responder = fallback;
    }
  }
  return responder(request);
}

int LoopbackHTTPServer::port() const { return state_->port; }
bool LoopbackHTTPServer::isTLS() const { return state_->tls != nullptr; }

std::string LoopbackHTTPServer::origin() const {
  return (isTLS() ? "https://localhost:" : "http://127.0.0.1:") + std::to_string(state_->port);
}

ns::URL LoopbackHTTPServer::url(std::string_view pathAndQuery) const {
  std::optional<ns::URL> url = ns::URL::withString(origin() + std::string(pathAndQuery));
  if (!url) throw std::invalid_argument("loopback server: not a path: " + std::string(pathAndQuery));
  return *url;
}

const std::string& LoopbackHTTPServer::authorityPEM() const { return state_->authorityPEM; }

void LoopbackHTTPServer::route(std::string path, Answer answer) { route(std::move(path), std::vector<Answer>{answer}); }

void LoopbackHTTPServer::route(std::string path, std::vector<Answer> answers) {
  if (answers.empty()) throw std::invalid_argument("loopback server: a route needs an answer");
  std::lock_guard lock(state_->mutex);
  state_->routes[std::move(path)] = State::Route{std::move(answers), 0, nullptr};
}

void LoopbackHTTPServer::route(std::string path, Responder responder) {
  std::lock_guard lock(state_->mutex);
  state_->routes[std::move(path)] = State::Route{{}, 0, std::move(responder)};
}

void LoopbackHTTPServer::enqueue(Answer answer) {
  std::lock_guard lock(state_->mutex);
  state_->queue.push_back(std::move(answer));
}

void LoopbackHTTPServer::setFallback(Responder responder) {
  std::lock_guard lock(state_->mutex);
  state_->fallback = std::move(responder);
}

void LoopbackHTTPServer::setObserver(std::function<void(const RecordedRequest&, const Answer&)> observer) {
  std::lock_guard lock(state_->mutex);
  state_->observer = std::move(observer);
}

std::vector<RecordedRequest> LoopbackHTTPServer::requests() const {
  std::lock_guard lock(state_->mutex);
  return state_->requests;
}

size_t LoopbackHTTPServer::requestCount() const {
  std::lock_guard lock(state_->mutex);
  return state_->requests.size();
}

bool LoopbackHTTPServer::waitForRequests(size_t count, double timeoutSeconds) const {
  std::unique_lock lock(state_->mutex);
  return state_->recorded.wait_for(lock, std::chrono::duration<double>(timeoutSeconds),
                                   [&] { return state_->requests.size() >= count; });
}

int LoopbackHTTPServer::connectionCount() const {
  std::lock_guard lock(state_->mutex);
  return state_->connectionCount;
}

}  // namespace net::testing
