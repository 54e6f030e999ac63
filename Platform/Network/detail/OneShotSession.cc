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

CallingThreadLoads::~CallingThreadLoads() {
  // The session lets go of its connections through this engine, which
  // carries that out as it ends.
  engine->within([this] { session.reset(); });
  engine.reset();
}

CallingThreadLoads& callingThreadLoads() {
  thread_local CallingThreadLoads loads{
      Engine::onCallingThread(),
      URLSession::create(URLSessionConfiguration::defaultSessionConfiguration(), nullptr, std::make_shared<AtOnce>())};
  return loads;
}

}  // namespace net::detail
