#include "Platform/Network/AsynchronousLoad.h"

#include "Platform/Network/URLSession.h"
#include "Platform/Network/detail/OneShotSession.h"

namespace net {

void sendAsynchronousRequest(const URLRequest& request, std::shared_ptr<ns::Executor> queue,
                             AsynchronousLoadCompletion completion) {
  detail::oneShotSession()
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
