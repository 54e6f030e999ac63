#include "Platform/Network/URLError.h"

namespace net {
namespace {

const char* descriptionOf(int64_t code) {
  switch (code) {
    case kURLErrorCancelled: return "cancelled";
    case kURLErrorBadURL: return "bad URL";
    case kURLErrorTimedOut: return "The request timed out.";
    case kURLErrorUnsupportedURL: return "unsupported URL";
    case kURLErrorCannotFindHost: return "A server with the specified hostname could not be found.";
    case kURLErrorCannotConnectToHost: return "Could not connect to the server.";
    case kURLErrorNetworkConnectionLost: return "The network connection was lost.";
    case kURLErrorHTTPTooManyRedirects: return "too many HTTP redirects";
    case kURLErrorNotConnectedToInternet: return "The Internet connection appears to be offline.";
    case kURLErrorBadServerResponse: return "bad server response";
    case kURLErrorCannotDecodeRawData: return "cannot decode raw data";
    case kURLErrorFileDoesNotExist: return "The requested URL was not found on this server.";
    case kURLErrorSecureConnectionFailed:
      return "An SSL error has occurred and a secure connection to the server cannot be made.";
    case kURLErrorServerCertificateUntrusted: return "The certificate for this server is invalid.";
    case kURLErrorCannotCreateFile: return "cannot create file";
    case kURLErrorCannotWriteToFile: return "cannot write to file";
    default: return "unknown error";
  }
}

}  // namespace

ns::Error makeURLError(int64_t code, const ns::URL& failingURL) {
  ns::Dictionary info;
  info.set(ns::kLocalizedDescriptionKey, ns::Value(std::string(descriptionOf(code))));
  if (!failingURL.isEmpty()) {
    info.set(kURLErrorFailingURLErrorKey, ns::Value(failingURL.absoluteString()));
    info.set(kURLErrorFailingURLStringErrorKey, ns::Value(failingURL.absoluteString()));
  }
  return ns::Error(kURLErrorDomain, code, std::move(info));
}

}  // namespace net
