#include "Platform/Network/AsynchronousLoad.h"

#include "Platform/Network/URLSession.h"

namespace net {
namespace {

// The transfer thread hands the outcome straight to the caller's queue, so
// one trip through a queue is all an answer takes.
class AtOnce : public ns::Executor {
 public:
  void execute(std::function<void()> block) override { block(); }
};

const std::shared_ptr<URLSession>& asynchronousSession() {
  static auto* session = new std::shared_ptr<URLSession>(URLSession::create(
      URLSessionConfiguration::defaultSessionConfiguration(), nullptr, std::make_shared<AtOnce>()));
  return *session;
}

}  // namespace

void sendAsynchronousRequest(const URLRequest& request, std::shared_ptr<ns::Executor> queue,
                             AsynchronousLoadCompletion completion) {
  asynchronousSession()
      ->dataTask(request,
                 [queue = std::move(queue), completion = std::move(completion)](
                     std::optional<ns::Data> data, std::optional<HTTPURLResponse> response,
                     std::optional<ns::Error> error) mutable {
                   queue->execute([completion = std::move(completion), data = std::move(data),
                                   response = std::move(response), error = std::move(error)]() mutable {
                     if (completion) completion(std::move(response), std::move(data), std::move(error));
                   });
                 })
      ->resume();
}

}  // namespace net
