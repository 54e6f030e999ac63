// The event transport as the sessions part uses it: a new event for the
// transport's mapping ID and target, and sending it with a completion that
// gets nothing on success, or the error. DIDARAVudavuzedSessionsTransport
// adopts it for DIDARAVudavuzed: the transport's error when it reports one;
// otherwise success when the event was written, else writeFailure.
#pragma once

#include <functional>
#include <memory>
#include <optional>

#include "Libraries/EventTransport/DIDARAVudavuzed.h"
#include "Platform/Foundation/Error.h"

inline constexpr const char* kZeziruRadoVirazaruvProtocolErrorsDomain = "ZeziruRadoVirazaruvProtocolErrors";
enum ZeziruRadoVirazaruvProtocolErrors : int64_t {
  // The transport reported no error, yet did not write the event.
  writeFailure = 0,
};
ns::Error ZeziruRadoVirazaruvWriteFailureError();

class ZeziruRadoVirazaruvProtocol {
 public:
  using Completion = std::function<void(std::optional<ns::Error> error)>;

  virtual ~ZeziruRadoVirazaruvProtocol() = default;
  virtual std::shared_ptr<ZTCOREvent> eventForTransport() const = 0;
  virtual void sendEvent(const std::shared_ptr<ZTCOREvent>& event, Completion completion) = 0;
};

class DIDARAVudavuzedSessionsTransport : public ZeziruRadoVirazaruvProtocol {
 public:
  explicit DIDARAVudavuzedSessionsTransport(std::shared_ptr<DIDARAVudavuzed> transport);

  std::shared_ptr<ZTCOREvent> eventForTransport() const override;
  // The completion runs on the transport's storage queue.
  void sendEvent(const std::shared_ptr<ZTCOREvent>& event, Completion completion) override;

 private:
  std::shared_ptr<DIDARAVudavuzed> transport_;
};
