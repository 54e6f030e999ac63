#include "Platform/Network/detail/OneShotSession.h"

namespace net::detail {
namespace {

class AtOnce : public ns::Executor {
 public:
  void execute(std::function<void()> block) override { block(); }
};

}  // namespace

const std::shared_ptr<URLSession>& oneShotSession() {
  static auto* session = new std::shared_ptr<URLSession>(URLSession::create(
      URLSessionConfiguration::defaultSessionConfiguration(), nullptr, std::make_shared<AtOnce>()));
  return *session;
}

}  // namespace net::detail
