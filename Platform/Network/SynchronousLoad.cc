#include "Platform/Network/SynchronousLoad.h"

#include "Platform/Foundation/FileManager.h"
#include "Platform/Foundation/PropertyList.h"
#include "Platform/Network/URLError.h"
#include "Platform/Network/URLSession.h"
#include "Platform/Network/detail/OneShotSession.h"

namespace net {

// The transfer runs on the calling thread, which waits for it anyway: one
// thread instead of a hand-over to the engine thread and back for every
// load. Its handler runs at once on this thread, as the transfer ends.
std::optional<ns::Data> sendSynchronousRequest(const URLRequest& request, std::optional<HTTPURLResponse>* response,
                                               ns::Error* error) {
  struct Outcome {
    bool finished = false;
    std::optional<ns::Data> data;
    std::optional<HTTPURLResponse> response;
    std::optional<ns::Error> error;
  } outcome;
  detail::CallingThreadLoads& loads = detail::callingThreadLoads();
  loads.engine->within([&] {
    loads.session
        ->dataTask(request,
                   [&outcome](std::optional<ns::Data> data, std::optional<HTTPURLResponse> response,
                              std::optional<ns::Error> error) {
                     outcome.data = std::move(data);
                     outcome.response = std::move(response);
                     outcome.error = std::move(error);
                     outcome.finished = true;
                   })
        ->resume();
  });
  loads.engine->driveUntil([&] { return outcome.finished; });
  if (response) *response = outcome.response;
  if (outcome.error) ns::setError(error, *outcome.error);
  return std::move(outcome.data);
}

std::optional<ns::Data> dataWithContentsOfURL(const ns::URL& url, double timeoutInterval, ns::Error* error) {
  if (url.isFileURL()) return ns::FileManager::defaultManager().contentsAtPath(url.path(), error);
  std::optional<HTTPURLResponse> response;
  std::optional<ns::Data> data =
      sendSynchronousRequest(URLRequest(url, URLRequestCachePolicy::UseProtocolCachePolicy, timeoutInterval),
                             &response, error);
  if (data && response && (response->statusCode() < 200 || response->statusCode() > 299)) {
    ns::setError(error, makeURLError(kURLErrorBadServerResponse, url));
    return std::nullopt;
  }
  return data;
}

std::optional<ns::Dictionary> dictionaryWithContentsOfURL(const ns::URL& url, double timeoutInterval,
                                                          ns::Error* error) {
  std::optional<ns::Data> data = dataWithContentsOfURL(url, timeoutInterval, error);
  if (!data) return std::nullopt;
  std::optional<ns::Value> root = ns::propertyListFromData(*data, error);
  if (!root) return std::nullopt;
  ns::Dictionary* dictionary = root->asDictionary();
  if (!dictionary) {
    ns::setError(error, ns::Error(ns::kCocoaErrorDomain, ns::kPropertyListReadCorruptError));
    return std::nullopt;
  }
  return std::move(*dictionary);
}

}  // namespace net
